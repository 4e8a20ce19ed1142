#!/usr/bin/env bash
# The main job: sets up, builds, installs a program folder (default ~/Tunelix), brings the
# catalogue up to date with the updater and opens the client.
#
# Without KELVOX_MANIFEST_URL it uses the demo: two books of synthesised ringtones served
# by nginx on 127.0.0.1 as three mirrors, stopped again when the client closes.
# Without a display it runs headless: the updater offscreen, then every ringtone downloaded
# with tunelix-get, and a summary.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=${TUNELIX_HOME:-$HOME/Tunelix}
build=${TUNELIX_BUILD_DIR:-$here/build}
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
cmake --install "$build" --prefix "$prefix" >/dev/null
icon="$here/artwork/ui/tray64.png"
[ -f "$icon" ] && "$here/scripts/install-desktop-entry.sh" "$prefix" "$icon"

demo_state=""
stop_demo() { [ -n "$demo_state" ] && "$here/scripts/demo/serve.sh" stop "$demo_state" || true; }
trap stop_demo EXIT

if [ -z "${KELVOX_MANIFEST_URL:-}" ]; then
  demo=${TUNELIX_DEMO_DIR:-$HOME/.cache/tunelix-demo}
  port=${TUNELIX_DEMO_PORT:-18081}
  "$here/scripts/demo/make-release.sh" "$prefix/tunelix-publish" "$demo" "$port"
  demo_state="$demo/server"
  "$here/scripts/demo/serve.sh" stop "$demo_state" >/dev/null 2>&1 || true
  "$here/scripts/demo/serve.sh" start "$demo/release" "$demo_state" "$port" >/dev/null
  export KELVOX_MANIFEST_URL="http://127.0.0.1:$port/ver.xml"
  echo "Demo server: three mirrors on 127.0.0.1:$port-$((port + 2)), manifest $KELVOX_MANIFEST_URL"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: updating and downloading headless."
  QT_QPA_PLATFORM=offscreen "$prefix/kelvox"
  "$prefix/tunelix-get" --folder "$prefix" --all
  echo "Program folder: $prefix (start $prefix/tunelix on a desktop to browse and play)."
else
  "$prefix/kelvox"
  "$prefix/tunelix"
fi
