"""Prints the summary table of a Google Benchmark JSON run of ostak_bench.

Each benchmark reports `n` (its size) and `units` (what its time is divided
by); the table pairs the smallest and the largest size of each. With
repetitions, every figure is the median of the repetitions' own. The growth
measured in pairs (BM_PairedGrowth) comes in a table of its own, in
processor time whatever the clock.
"""
import json
import statistics
import sys

SCALE_TO_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}

LABELS = {
    "BM_Load/inorder": ("load, names in order", "appl"),
    "BM_Load/reversed": ("load, names reversed", "appl"),
    "BM_Load/shuffled": ("load, names shuffled", "appl"),
    "BM_Save": ("save", "appl"),
    "BM_MarkDifferences": ("mark differences", "appl"),
    "BM_Apply/fewchanged": ("apply, 8 applications changed", "appl"),
    "BM_Apply/tenpercentnew": ("apply, 10% new applications", "appl"),
    "BM_Apply/allchanged": ("apply, every rule changed", "appl"),
    "BM_InsertByHandle/inorder": ("insert by handle, in order", "appl"),
    "BM_InsertByHandle/shuffled": ("insert by handle, random", "appl"),
    "BM_FinaliseAfterRename/moving": ("finalise after a rename", "call"),
    "BM_FinaliseAfterRename/samename": ("finalise, the same name set", "call"),
    "BM_ScriptLoad/takeover": ("script's file load, take-over", "appl"),
    "BM_ScriptLoad/merge": ("script's file load, merge 10% new", "appl"),
    "BM_MergeConflictsPlainNames": ("merge, all rules conflict", "rule"),
    "BM_MergeConflictsNumberedNames": ("merge, all conflict, names Rule_n", "rule"),
}


# The growth measured in pairs (BM_PairedGrowth/<row>), by the rows above.
PAIRED = {
    "load_inorder": "BM_Load/inorder",
    "load_reversed": "BM_Load/reversed",
    "load_shuffled": "BM_Load/shuffled",
    "save": "BM_Save",
    "mark": "BM_MarkDifferences",
    "apply_fewchanged": "BM_Apply/fewchanged",
    "apply_tenpercentnew": "BM_Apply/tenpercentnew",
    "apply_allchanged": "BM_Apply/allchanged",
    "insert_inorder": "BM_InsertByHandle/inorder",
    "insert_shuffled": "BM_InsertByHandle/shuffled",
    "finalise_moving": "BM_FinaliseAfterRename/moving",
    "finalise_samename": "BM_FinaliseAfterRename/samename",
    "scriptload_takeover": "BM_ScriptLoad/takeover",
    "scriptload_merge": "BM_ScriptLoad/merge",
}


def print_paired(paired, cold):
    print("Growth from 1k to 64k measured in pairs (each pair times the small size,")
    print("then the large one; the median of the pairs' ratios, and their range)")
    if cold:
        print("Caches emptied before each timed apply")
    print("%-36s %-5s %6s %10s %10s %8s %14s" % (
        "operation", "per", "pairs", "small µs", "large µs", "growth", "range"))
    for key, group in PAIRED.items():
        run = paired.get(key)
        if run is None:
            continue
        label, unit = LABELS[group]
        print("%-36s %-5s %6d %10.3f %10.3f %8.2f %6.2f .. %4.2f" % (
            label, unit, run["iterations"], run["small_us"], run["large_us"], run["growth"],
            run["growth_min"], run["growth_max"]))


def main():
    path, clock = sys.argv[1], sys.argv[2]
    cold = len(sys.argv) > 3 and sys.argv[3] == "cold"
    with open(path) as handle:
        runs = json.load(handle)["benchmarks"]
    sizes = {}
    ratios = {}
    paired = {}
    for run in runs:
        if run.get("run_type") == "aggregate":
            continue
        if run.get("error_occurred"):
            print("failed: %s (%s)" % (run["name"], run.get("error_message", "")))
            continue
        if run["name"].startswith("BM_PairedGrowth/"):
            paired[run["name"].split("/")[1]] = run
            continue
        if run["name"].startswith("BM_VersusBareParse"):
            ratios.setdefault(run["megabytes"], []).append(run)
            continue
        # A benchmark with a minimum time of its own ends in /min_time:...
        name = run["name"].split("/min_time:")[0]
        group = name.rsplit("/", 1)[0]
        per_unit = run[clock] * SCALE_TO_US[run["time_unit"]] / run["units"]
        sizes.setdefault(group, {}).setdefault(int(run["n"]), []).append(per_unit)
    sizes = {group: {n: statistics.median(values) for n, values in found.items()}
             for group, found in sizes.items()}

    if paired:
        print_paired(paired, cold)
    if not sizes and not ratios:
        return
    if paired:
        print()
    kind = "processor" if clock == "cpu_time" else "wall-clock"
    print("Time per unit in µs (%s time); growth = large / small" % kind)
    if cold:
        print("Caches emptied before each timed mark, apply and save")
    print("%-36s %-5s %10s %10s %10s %8s" % ("operation", "per", "sizes", "small", "large", "growth"))
    for group, (label, unit) in LABELS.items():
        found = sizes.get(group)
        if not found or len(found) < 2:
            continue
        small, large = min(found), max(found)
        growth = found[large] / found[small] if found[small] > 0 else float("inf")
        names = "%d..%d" % (small, large) if small < 1024 else "1k..64k"
        print("%-36s %-5s %10s %10.3f %10.3f %8.2f" % (label, unit, names, found[small], found[large], growth))

    if ratios:
        print()
        print("Against a bare validating SAX parse of the same file (processor time; wall in brackets)")
        print("(floor: a parse whose handler reads every attribute and keeps a rule-sized record")
        print("for each application and rule, in fresh memory; the least any load costs here)")
        print("%-8s %10s %10s %10s %12s %16s %16s" % (
            "file", "parse ms", "load ms", "save ms", "floor/parse", "load/parse", "save/parse"))
        for megabytes, repeated in sorted(ratios.items()):
            run = {key: statistics.median(r[key] for r in repeated) for key in (
                "parse_cpu_ms", "load_cpu_ms", "save_cpu_ms", "floor_ratio", "load_ratio",
                "load_ratio_wall", "save_ratio", "save_ratio_wall")}
            print("%-8s %10.0f %10.0f %10.0f %12.2f %9.2f (%4.2f) %9.2f (%4.2f)" % (
                "%d MB" % megabytes, run["parse_cpu_ms"], run["load_cpu_ms"], run["save_cpu_ms"],
                run["floor_ratio"], run["load_ratio"], run["load_ratio_wall"], run["save_ratio"],
                run["save_ratio_wall"]))


main()
