#!/bin/sh
# The client's view opening and refreshing in a loop while kelvox merges ROWS (100,000)
# rows into the same local.mdb, repeated RUNS (5) times; prints the longest open time.
# Usage: scripts/reliability/view-during-merge.sh [build folder, default build-rel]
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-rel}
ninja -C "$build" reliability_concurrency_test kelvox >/dev/null
export QT_QPA_PLATFORM=offscreen TUNELIX_AUDIO_OUTPUT=silent RELIABILITY_MERGE_ROWS=${ROWS:-100000}
i=0
while [ "$i" -lt "${RUNS:-5}" ]; do
  "$build/bin/reliability_concurrency_test" | grep -E '^\[  (PASSED|FAILED)|^view during merge'
  i=$((i + 1))
done
