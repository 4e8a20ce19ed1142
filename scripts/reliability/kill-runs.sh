#!/bin/sh
# The long kill runs: 50 SIGKILLs of tunelix-get during multi-mirror downloads from nginx
# on 127.0.0.1 (each resumed to a verified file), and kelvox killed during the file pass
# and during a 100,000-row merge (each followed by a check and a completing run).
# Usage: scripts/reliability/kill-runs.sh [build folder, default build-rel]
# Counts: GET_KILLS (50), FILE_KILLS (20), MERGE_KILLS (20); RELIABILITY_SEED repeats a run.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-rel}
ninja -C "$build" reliability_kill_test tunelix-get kelvox >/dev/null
export QT_QPA_PLATFORM=offscreen TUNELIX_AUDIO_OUTPUT=silent
export RELIABILITY_GET_KILLS=${GET_KILLS:-50}
export RELIABILITY_KELVOX_FILE_KILLS=${FILE_KILLS:-20}
export RELIABILITY_KELVOX_MERGE_KILLS=${MERGE_KILLS:-20}
log="$build/reliability-kill-runs.log"
"$build/bin/reliability_kill_test" 2>&1 | tee "$log"
echo "figures:"; grep -E '^(get kills|kelvox|reliability seed)' "$log"
