#!/usr/bin/env bash
# Draws kavrosa.ico (a sun over green hills in a frame, 32x32 and 16x16) with ImageMagick.
# Run by hand when the icon should change; the .ico is committed.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for s in 32 16; do
  convert -size ${s}x${s} xc:'#1b2a4a' -fill '#f2c14e' \
    -draw "circle $((s * 11 / 16)),$((s * 5 / 16)) $((s * 13 / 16)),$((s * 5 / 16))" \
    -fill '#3d8b5a' \
    -draw "polygon 0,$((s - 1)) $((s * 5 / 16)),$((s * 7 / 16)) $((s * 9 / 16)),$((s * 3 / 4)) $((s * 3 / 4)),$((s * 9 / 16)) $((s - 1)),$((s - 1))" \
    -stroke '#e8e8e8' -fill none -draw "rectangle 0,0 $((s - 1)),$((s - 1))" "PNG32:$tmp/icon$s.png"
done
convert "$tmp/icon32.png" "$tmp/icon16.png" kavrosa.ico
