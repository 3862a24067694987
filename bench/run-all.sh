#!/usr/bin/env bash
# The benchmark report: makes the benchmark database once a day (kept in the data directory
# for later runs that day; under a minute on a quiet machine), prints the window's figures
# beside the tight raw client's (bench_window: interleaved rounds, ratio min and median,
# scaling, memory, client calls, and at the end one line `ratio NAME min X median Y` a
# figure), the month report's and the rules' costs, backup and restore beside gbak by hand,
# then the figures of each single-layer
# benchmark.
#   bash bench/run-all.sh [build dir, default build] [data dir, default <build dir>/bench-data]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=${2:-$build/bench-data}
benches=(bench_makedb bench_window bench_report bench_rules bench_backup bench_fetch bench_dataset bench_grid bench_sqldataset_fetch)
cmake --build "$build" --target "${benches[@]}" -j "$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
"$build/bin/bench_makedb" "$data" >&2
"$build/bin/bench_window" "$data" 2>/dev/null
"$build/bin/bench_report" "$data"
echo
"$build/bin/bench_rules" "$data" 2>/dev/null
echo
"$build/bin/bench_backup" "$data" 2>/dev/null
for b in bench_fetch bench_dataset bench_grid bench_sqldataset_fetch; do
  echo
  echo "## $b"
  "$build/bin/$b" 2>/dev/null
done
