#!/usr/bin/env bash
# The benchmark report: makes the benchmark database once a day (kept in the data directory
# for later runs that day; under a minute on a quiet machine), prints the window's figures
# beside the tight raw client's (bench_window: interleaved rounds, ratio min and median,
# scaling, memory, client calls, and at the end one line `ratio NAME min X median Y` a
# figure), the month report's and the rules' costs, backup and restore beside gbak by hand,
# the punches import beside the raw client inserting the same rows,
# then the figures of each single-layer
# benchmark.
# bench_window's figures across a network need a Firebird server: a private one on
# 127.0.0.1 is started here as the tests start theirs (scripts/fbserver.sh), on the port
# KORDANE_BENCH_PORT names (by default the build's test server port plus one), and stopped
# by its PID when the run ends. When none can be started, those figures are skipped, saying so.
#   bash bench/run-all.sh [build dir, default build] [data dir, default <build dir>/bench-data]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=${2:-$build/bench-data}
benches=(bench_makedb bench_window bench_report bench_rules bench_backup bench_punches bench_fetch bench_dataset bench_grid bench_sqldataset_fetch)
cmake --build "$build" --target "${benches[@]}" -j "$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
"$build/bin/bench_makedb" "$data" >&2

server_dir=$build/bench-fbserver
test_port=$(sed -n 's/^KORDANE_FBSERVER_PORT:[A-Z]*=//p' "$build/CMakeCache.txt")
port=${KORDANE_BENCH_PORT:-$((${test_port:-33050} + 1))}
password=kordane-bench
mkdir -p "$server_dir"
# A server left by a run that was killed is ours to stop; one of another program on the
# port is not ours to use.
bash scripts/fbserver.sh stop "$server_dir"
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
  echo "net figures skipped: port $port is in use by another program (set KORDANE_BENCH_PORT)"
elif server=$(bash scripts/fbserver.sh start "$server_dir" "$port" "$password" 2>"$server_dir/start.log"); then
  trap 'bash scripts/fbserver.sh stop "$server_dir"' EXIT
  export KORDANE_BENCH_SERVER=$server KORDANE_BENCH_SERVER_PASSWORD=$password
else
  echo "net figures skipped: no Firebird server could be started on port $port ($server_dir/start.log)"
fi
"$build/bin/bench_window" "$data" 2>/dev/null
"$build/bin/bench_report" "$data"
echo
"$build/bin/bench_rules" "$data" 2>/dev/null
echo
"$build/bin/bench_backup" "$data" 2>/dev/null
echo
"$build/bin/bench_punches" "$data" 2>/dev/null
for b in bench_fetch bench_dataset bench_grid bench_sqldataset_fetch; do
  echo
  echo "## $b"
  "$build/bin/$b" 2>/dev/null
done
