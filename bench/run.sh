#!/bin/sh
# Runs the benchmarks and prints the summary: for each operation the time per
# application (per rule for the merge, per call for the finalise) at 1k and 64k
# applications and the growth between them, then load and save against a bare
# validating parse of the same 10 MB file, beside the floor (the same parse
# keeping a record per application and rule: the least any load costs).
#
#   bench/run.sh [--large] [--tools] [--paired] [--wall] [--cold] [--repetitions N] [--min-time SECONDS] [--binary PATH] [--json FILE]
#
#   --large     also the 100 MB file against the bare parse (slow)
#   --tools     also the ostak tool's check, show, diff and merge as whole processes
#               (bench/tool_times.py; the tool must be built)
#   --paired    also the growth of each operation measured in pairs: seven
#               pairs, each the small size 16 times and then the large one
#               (processor time; a few minutes more)
#   --wall      wall-clock instead of processor time (the default suits a shared machine)
#   --cold      empties the processor's caches before each timed mark, apply and
#               save, so that small files are read from memory as large ones are
#   --repetitions  runs each benchmark N times, in random order across all of
#               them, and prints the medians (default 1; 3 steadies the figures
#               of a shared machine, in three times as long)
#   --min-time  Google Benchmark's minimum time per benchmark (default 0.1)
#   --binary    the benchmark program (default build/bench/ostak_bench)
#   --json      keep the raw Google Benchmark output in FILE
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
binary="$here/build/bench/ostak_bench"
large=0
tools=0
paired=0
clock=cpu_time
min_time=0.1
repetitions=1
json=""
cold=""
while [ $# -gt 0 ]; do
    case "$1" in
    --large) large=1 ;;
    --tools) tools=1 ;;
    --paired) paired=1 ;;
    --wall) clock=real_time ;;
    --cold) cold=--cold-caches ;;
    --repetitions) repetitions="$2"; shift ;;
    --min-time) min_time="$2"; shift ;;
    --binary) binary="$2"; shift ;;
    --json) json="$2"; shift ;;
    *) echo "usage: $0 [--large] [--tools] [--paired] [--wall] [--cold] [--repetitions N] [--min-time SECONDS] [--binary PATH] [--json FILE]" >&2; exit 2 ;;
    esac
    shift
done
if [ ! -x "$binary" ]; then
    echo "$binary not found: build the project with libbenchmark-dev installed" >&2
    exit 1
fi

# Every size but the 8k in between, and the 100 MB file only when asked.
filter='/(1024|65536|250|2000|10)(/min_time:.*)?$'
if [ "$large" = 1 ]; then
    filter='/(1024|65536|250|2000|10|100)(/min_time:.*)?$'
fi
# Repetitions run in random order, interleaved across every benchmark and
# size: a spell when the shared machine is slow then spreads over all the
# figures instead of landing on one size of one operation and its growth.
interleave=false
if [ "$repetitions" -gt 1 ]; then
    interleave=true
fi
out=${json:-$(mktemp)}
"$binary" $cold --benchmark_filter="$filter" --benchmark_min_time="$min_time" \
    --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving="$interleave" \
    --benchmark_format=json --benchmark_out_format=json --benchmark_out="$out" >/dev/null
python3 "$here/bench/summary.py" "$out" "$clock" ${cold:+cold}
[ -n "$json" ] || rm -f "$out"
if [ "$paired" = 1 ]; then
    echo
    out=$(mktemp)
    "$binary" $cold --benchmark_filter='^BM_PairedGrowth/' \
        --benchmark_format=json --benchmark_out_format=json --benchmark_out="$out" >/dev/null
    python3 "$here/bench/summary.py" "$out" cpu_time ${cold:+cold}
    rm -f "$out"
fi
if [ "$tools" = 1 ]; then
    echo
    python3 "$here/bench/tool_times.py" --tool "$(dirname "$binary")/../tools/ostak"
fi
