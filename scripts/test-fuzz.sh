#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each briefly over its seed
# corpus (the third stage of CI). FUZZ_SECONDS sets the time per target (default 15).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNELIX_FUZZ_BUILD_DIR:-$here/build-fuzz}
"$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang -DTUNELIX_FUZZ=ON -DTUNELIX_BUILD_BENCH=OFF -DTUNELIX_BUILD_TESTS=OFF \
  -DTUNELIX_FUZZ_SECONDS="${FUZZ_SECONDS:-15}" >/dev/null
cmake --build "$build" --target link_decode map_text rowset_xml address_split --parallel "$(nproc)"
ctest --test-dir "$build" -L fuzz --output-on-failure --timeout 600
