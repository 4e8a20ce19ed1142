#!/usr/bin/env bash
# Takes headless pictures of the main window, the status popup and the about window
# (offscreen, at 1x and 2x) into docs/screenshots/. TUNELIX_BUILD_DIR picks the build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNELIX_BUILD_DIR:-$here/build}
[ -f "$build/build.ninja" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" tunelix-screenshots >/dev/null
runtime=$(mktemp -d); trap 'rm -rf "$runtime"' EXIT
out="$here/docs/screenshots"
mkdir -p "$out"
for scale in 1 2; do
  QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale XDG_RUNTIME_DIR=$runtime \
    "$build/bin/tunelix-screenshots" "$out" "$here/artwork/skin"
done
