#!/usr/bin/env bash
# Puts a desktop entry and an icon for the client where a Linux desktop finds them (per user).
#   install-desktop-entry.sh PROGRAM_FOLDER ICON_PNG
set -euo pipefail
folder=$(cd "${1:?program folder}" && pwd)
icon=${2:?icon}
data=${XDG_DATA_HOME:-$HOME/.local/share}
mkdir -p "$data/applications" "$data/icons/hicolor/64x64/apps"
cp "$icon" "$data/icons/hicolor/64x64/apps/tunelix.png"
cat > "$data/applications/tunelix.desktop.part" <<ENTRY
[Desktop Entry]
Type=Application
Name=Tunelix
Comment=Ringtone catalogue: search, play and download ringtones
Exec="$folder/tunelix"
Path=$folder
Icon=tunelix
Terminal=false
Categories=AudioVideo;Audio;Player;
ENTRY
mv "$data/applications/tunelix.desktop.part" "$data/applications/tunelix.desktop"
command -v update-desktop-database >/dev/null && update-desktop-database "$data/applications" >/dev/null 2>&1 || true
