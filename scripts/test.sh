#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
build=${TUNELIX_BUILD_DIR:-$here/build}
export QT_QPA_PLATFORM=offscreen TUNELIX_AUDIO_OUTPUT=silent
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300
