#!/usr/bin/env bash
# Download benchmark: tunelix-get beside aria2c and axel on the same files and the same
# nginx mirrors over loopback. Needs root (tc shaping on lo), nginx, aria2c, axel.
#   bench/transfer/run.sh [BUILD_DIR] [-- bench.py options]
# Files are named .mp3: the engine treats any other address as a link page.
# Scenarios: (a) one unshaped mirror, 50 MB; (b) three mirrors capped at 1 MiB/s,
# 512 KiB/s and 48 KiB/s (tc htb per mirror, whatever the number of connections), 1, 5
# and 10 MB files; (c) the same with a dead mirror first and last. Medians of 3
# interleaved runs. Results: $BENCH_DIR/results.csv and a median table on stdout.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift
export BENCH_DIR=${BENCH_DIR:-/tmp/tunelix-bench-transfer}
mkdir -p "$BENCH_DIR"/{www,logs,run,out,tmp}

ninja -C "$build" tunelix-get transfer-bench-catalogue >/dev/null
# A copy, so that a rebuild during the run cannot change the program under test.
mkdir -p "$BENCH_DIR/bin"
cp "$build/bin/tunelix-get" "$build/bin/transfer-bench-catalogue" "$BENCH_DIR/bin/"
python3 "$here/bench.py" setup --bin "$BENCH_DIR/bin"

nginx -p "$BENCH_DIR" -c "$BENCH_DIR/nginx.conf" -e "$BENCH_DIR/logs/error.log"
"$here/shape_tc.sh" on
cleanup() {
  "$here/shape_tc.sh" off || true
  nginx -p "$BENCH_DIR" -c "$BENCH_DIR/nginx.conf" -e "$BENCH_DIR/logs/error.log" -s quit || true
}
trap cleanup EXIT
sleep 0.5
python3 "$here/bench.py" run --bin "$BENCH_DIR/bin" "$@"
