#!/usr/bin/env bash
# Photograph folders for the saver's codec test under Wine, made with Debian's encoders: in each,
# a HEIC and a WebP (which Wine's imaging component cannot decode: skipped) before a 1600x1200
# photograph in PNG (Exif orientation 6), TIFF (orientation 8) or GIF, whose stored top-left
# corner is pure red so that its place on screen shows the turn. Usage: make_codec_folders.sh DIR
set -euo pipefail
out=$1
magick=/usr/bin/convert
[ -x "$magick" ] || magick=convert
rm -rf "$out"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$magick" -size 1600x1200 gradient:orange-navy -swirl 60 -fill red -draw 'rectangle 0,0 199,149' \
  -depth 8 PNG24:"$tmp/source.png"
heif-enc -q 50 "$tmp/source.png" -o "$tmp/a.heic" >/dev/null
cwebp -quiet -q 50 "$tmp/source.png" -o "$tmp/b.webp"
for kind in png tif gif; do
  mkdir -p "$out/$kind"
  cp "$tmp/a.heic" "$tmp/b.webp" "$out/$kind/"
done
"$magick" "$tmp/source.png" PNG24:"$out/png/c.png"
exiftool -q -n -Orientation=6 -overwrite_original "$out/png/c.png"
"$magick" "$tmp/source.png" -compress lzw "$out/tif/c.tif"
exiftool -q -n -Orientation=8 -overwrite_original "$out/tif/c.tif"
"$magick" "$tmp/source.png" -colors 128 "$out/gif/c.gif"
