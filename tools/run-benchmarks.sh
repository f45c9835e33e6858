#!/usr/bin/env bash
# Runs every benchmark of a build folder (what `make bench` calls), one after the
# other so they do not disturb each other: the process snapshot against a plain proc
# reader, one scroll event and one layout of the main window, the 10 000-tick soak,
# and the program's CPU per refresh beside top's.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
for bench in "$build"/bench/bench_processsource "$build"/bench/bench_chart; do
    [[ -x $bench ]] || { echo "missing $bench: is Google Benchmark installed?" >&2; exit 1; }
    echo "== $(basename "$bench")"
    QT_QPA_PLATFORM=offscreen "$bench" --benchmark_enable_random_interleaving=true
done
echo "== bench_soak"
QT_QPA_PLATFORM=offscreen "$build"/bench/bench_soak
echo "== cost.sh"
bash "$here"/bench/cost.sh "$build"/src/plenwick
