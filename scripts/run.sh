#!/usr/bin/env bash
# Sets up, builds, installs a program folder (default ~/Tunelix) and starts the client.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=${TUNELIX_HOME:-$HOME/Tunelix}
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
cmake --install "${TUNELIX_BUILD_DIR:-$here/build}" --prefix "$prefix" >/dev/null
exec "$prefix/tunelix"
