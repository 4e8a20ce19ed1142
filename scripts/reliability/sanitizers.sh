#!/bin/sh
# Builds the core tests and the engine and updater end-to-end tests with ASan+UBSan and
# with TSan in their own build folders, and runs them. Usage:
#   scripts/reliability/sanitizers.sh [asan|tsan|both]   (default both)
# Logs: build-rel-asan/reliability-ctest.log, build-rel-tsan/reliability-ctest.log
# Only the listed targets are built; tests of other executables show as NOT_BUILT and are
# left out. Read docs/reliability.md before trusting a TSan report from a test process
# that has started a child process (nginx, the programs): TSan loses track after it.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
which=${1:-both}
targets="catalogue_display_test catalogue_view_test extlib_test platform_test playback_time_test rowset_test
transfer_map_test transfer_manager_test transfer_worker_test transfer_queue_test update_merge_test update_fetch_test
e2e_get_test kelvox_window_test publish_test reliability_handoff_test tunelix-get kelvox"
jobs=${JOBS:-2}

run() { # name flag env...
  dir="$here/build-rel-$1"; flag=$2; shift 2
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "-D$flag=ON" -DTUNELIX_BUILD_BENCH=OFF >/dev/null
  # shellcheck disable=SC2086
  ninja -C "$dir" -j "$jobs" $targets
  (cd "$dir" && env "$@" QT_QPA_PLATFORM=offscreen TUNELIX_AUDIO_OUTPUT=silent \
     ctest -E NOT_BUILT -j "$jobs" --timeout 900 --output-on-failure) 2>&1 | tee "$dir/reliability-ctest.log"
}

if [ "$which" = asan ] || [ "$which" = both ]; then
  run asan TUNELIX_SANITIZE ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 || true
fi
if [ "$which" = tsan ] || [ "$which" = both ]; then
  run tsan TUNELIX_TSAN \
      TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$here/tests/reliability/tsan.supp" || true
fi
