#!/usr/bin/env bash
# Makes the demo release: two books of synthesised ringtones published for three
# loopback mirrors (see serve.sh).
#   make-release.sh PUBLISH_TOOL DEMO_DIR [BASE_PORT]
# Leaves DEMO_DIR/release; re-running with a finished release does nothing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
publish=${1:?path of tunelix-publish}
demo=${2:?demo folder}
base=${3:-18081}
[ -f "$demo/release/daily/2.daily" ] && exit 0

mkdir -p "$demo"
rm -rf "$demo/release.part"
python3 "$here/make-ringtones.py" "$demo/book1" --book 1 >/dev/null
python3 "$here/make-ringtones.py" "$demo/book2" --book 2 >/dev/null
mirrors=(--mirror "http://127.0.0.1:$base/" --mirror "http://127.0.0.1:$((base + 1))/" --mirror "http://127.0.0.1:$((base + 2))/")
"$publish" --book 1 --source "$demo/book1" --release "$demo/release.part" "${mirrors[@]}"
"$publish" --book 2 --source "$demo/book2" --release "$demo/release.part" "${mirrors[@]}"
rm -rf "$demo/release"
mv "$demo/release.part" "$demo/release"
