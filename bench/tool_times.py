"""Times the ostak tool as whole processes on generated rule files.

    python3 bench/tool_times.py [--tool build/tools/ostak] [--sizes 1024,65536]

For each size: a file of that many applications (8 rules each, names in
order) and a copy with eight applications changed; then `check`, `show`,
`diff` and `merge --all --prefer source -o OUT` of the two, each run once
(best of two for sizes up to 8k). Prints milliseconds per run and µs per
application.
"""
import argparse
import os
import shutil
import subprocess
import tempfile
import time

RULES_PER_APPL = 8
HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write_file(path, count, changed_every):
    with open(os.path.join(HERE, "dat", "OstakDtd.xml"), "rb") as dtd:
        head = dtd.read()
    with open(path, "wb") as out:
        out.write(head)
        out.write(b'<AED TqVersion="7.6">\r\n')
        for i in range(count):
            text = "changed text" if changed_every and i % changed_every == 0 else "some text"
            out.write(('\t<Application Name="App%09d" Enabled="true" StampTime="1" StampHost="h">\r\n' % i).encode())
            for r in range(RULES_PER_APPL):
                out.write(('\t\t<Rule Name="Rule_%d" FailIfNotFound="false" MatchCase="true" UseText="true" '
                           'Level="error">\r\n\t\t\t<Text>%s %d</Text>\r\n\t\t</Rule>\r\n' % (r, text, r)).encode())
            out.write(b"\t</Application>\r\n")
        out.write(b"</AED>\r\n")


def run_once(command):
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    # check exits 0, diff 1 (the files differ), merge 0.
    if done.returncode not in (0, 1):
        raise SystemExit("%s failed (%d): %s" % (" ".join(command), done.returncode, done.stderr.decode()[-400:]))
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", default=os.path.join(HERE, "build", "tools", "ostak"))
    parser.add_argument("--sizes", default="1024,65536")
    args = parser.parse_args()
    sizes = [int(size) for size in args.sizes.split(",")]
    work = tempfile.mkdtemp(prefix="ostak-tool-bench-")
    try:
        print("The ostak tool as a whole process (wall-clock; ms per run, µs per application)")
        print("%-8s %-8s %10s %10s" % ("command", "appls", "ms", "µs/appl"))
        for count in sizes:
            base = os.path.join(work, "base%d.xml" % count)
            few = os.path.join(work, "few%d.xml" % count)
            out = os.path.join(work, "out%d.xml" % count)
            write_file(base, count, 0)
            write_file(few, count, max(count // 8, 1))
            commands = {
                "check": [args.tool, "check", base],
                "show": [args.tool, "show", base],
                "diff": [args.tool, "diff", few, base],
                "merge": [args.tool, "merge", few, base, "--all", "--prefer", "source", "-o", out],
            }
            for name, command in commands.items():
                runs = 2 if count <= 8192 else 1
                best = min(run_once(command) for _ in range(runs))
                print("%-8s %-8d %10.0f %10.2f" % (name, count, best * 1000, best * 1e6 / count))
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()
