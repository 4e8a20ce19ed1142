#!/usr/bin/env bash
# Redraws the artwork from code (src/tools/artwork) into artwork/; commit the results.
# The build folder defaults to build/ (TUNELIX_BUILD_DIR overrides).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNELIX_BUILD_DIR:-$here/build}
[ -f "$build/build.ninja" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" tunelix-artwork >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/tunelix-artwork" "$here/artwork"
echo "artwork written to $here/artwork"
