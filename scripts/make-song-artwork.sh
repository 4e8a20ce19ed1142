#!/bin/sh
# Draws the song window's pictures with ImageMagick and writes them into the artwork
# folder: the seek slider's skin picture (skin/seek.png, copied into program folders),
# the 15 button faces and the banner (built into the client as resources).
# Run from anywhere: scripts/make-song-artwork.sh
set -eu
cd "$(dirname "$0")/../artwork"
out=song
mkdir -p skin "$out"

# Seek slider: track 0,0,74,12 (6-pixel ends that do not stretch), thumb 74,0 11x12.
convert -size 85x12 xc:none \
  -fill '#9fb8d6' -stroke '#4f6f96' -draw 'roundrectangle 0,3 73,8 3,3' \
  -stroke none -fill '#dbe7f5' -draw 'rectangle 6,5 67,5' \
  -fill '#2f6db5' -stroke '#1d4677' -draw 'roundrectangle 74,0 84,11 3,3' \
  -stroke none -fill '#8fc0f5' -draw 'rectangle 77,2 81,3' \
  PNG32:skin/seek.png

# face <file> <w> <h> <fill> <stroke> <draw...>
face() {
  file=$1 w=$2 h=$3 fill=$4 stroke=$5
  shift 5
  convert -size "${w}x${h}" xc:none \
    -fill "$fill" -stroke "$stroke" -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) 5,5" \
    -stroke none -fill white "$@" "PNG32:$out/$file"
}

# Three looks per button: normal, hot (lighter), pressed (darker).
NORMAL_FILL='#3a6ea5' NORMAL_STROKE='#22466e'
HOT_FILL='#5a90cc' HOT_STROKE='#2c5a8c'
PRESSED_FILL='#244f7d' PRESSED_STROKE='#163252'

looks() { # looks <normal index> <hot index> <pressed index> <w> <h> <draw...>
  n=$1 hot=$2 p=$3 w=$4 h=$5
  shift 5
  face "face$n.png" "$w" "$h" "$NORMAL_FILL" "$NORMAL_STROKE" "$@"
  face "face$hot.png" "$w" "$h" "$HOT_FILL" "$HOT_STROKE" "$@"
  face "face$p.png" "$w" "$h" "$PRESSED_FILL" "$PRESSED_STROKE" "$@"
}

# 0-2 close (37x17): a cross.
looks 0 1 2 37 17 -stroke white -strokewidth 2 -draw 'line 14,4 22,12' -draw 'line 22,4 14,12'
# 4 normal, 3 hot, 5 pressed: pause (46x30).
looks 4 3 5 46 30 -draw 'rectangle 16,8 20,21' -draw 'rectangle 25,8 29,21'
# 7 normal, 6 hot, 8 pressed: resume (46x30).
looks 7 6 8 46 30 -draw 'polygon 17,7 31,15 17,23'
# 9-11 previous (25x24).
looks 9 10 11 25 24 -draw 'rectangle 6,7 8,16' -draw 'polygon 18,7 9,12 18,17'
# 12-14 next (25x24).
looks 12 13 14 25 24 -draw 'rectangle 16,7 18,16' -draw 'polygon 7,7 16,12 7,17'

# Banner 343x73, stretched over the top of the window; it opens the shop page.
convert -size 343x73 gradient:'#6fa8dc-#1f4e79' \
  -fill '#ffffff' -pointsize 26 -annotate +18+38 'Tunelix' \
  -fill '#d8e8f8' -pointsize 13 -annotate +20+60 'More ringtones in the shop' \
  "PNG24:$out/banner.png"
