#!/usr/bin/env bash
# Builds the core library and its tests with AddressSanitizer + UndefinedBehaviorSanitizer
# and runs them (the second stage of CI).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNELIX_ASAN_BUILD_DIR:-$here/build-asan}
"$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTUNELIX_SANITIZE=ON -DTUNELIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target core_tests --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen TUNELIX_AUDIO_OUTPUT=silent
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$here/tests/support/lsan.supp
ctest --test-dir "$build" -L core --output-on-failure --parallel "$(nproc)" --timeout 600
