#!/bin/bash
# kavrosa-tool frames over a folder of the platform's formats made here with Debian's encoders:
# a WebP cut short is skipped, a HEIC is shown, then a PNG whose Exif orientation 6 turns its
# stored 64 x 48 upright to 48 x 64 (the frame's picture, trimmed of the black around it).
# Usage: frames_codec_folder_test.sh KAVROSA_TOOL
set -eu
tool=$1
magick=/usr/bin/convert
[ -x "$magick" ] || magick=convert
for needed in "$magick" heif-enc cwebp exiftool; do
  command -v "$needed" >/dev/null || { echo "skipped: $needed is missing"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos"
"$magick" -size 64x48 gradient:orange-navy -swirl 90 -depth 8 PNG24:"$work/source.png"
cwebp -quiet -q 80 "$work/source.png" -o "$work/whole.webp"
head -c 100 "$work/whole.webp" > "$work/photos/a-cut.webp"
heif-enc -q 80 "$work/source.png" -o "$work/photos/b.heic" >/dev/null
cp "$work/source.png" "$work/photos/c.png"
exiftool -q -q -n -Orientation=6 -overwrite_original "$work/photos/c.png"
# Interval 15 s (225 ticks) under its Shift-JIS key.
printf '[Config]\r\n\x95\x5c\x8e\xa6\x8a\xd4\x8a\x75=15\r\n[Image]\r\nFolder=%s\r\n' \
  "$work/photos" > "$work/k.INI"
"$tool" frames --settings "$work/k.INI" --size 160x120 --ticks 0:260 --out "$work/frames"
shown() { "$magick" "$work/frames/tick-$1.bmp" -trim -format '%wx%h' info:; }
[ "$(shown 00031)" = 64x48 ] || { echo "tick 31 shows $(shown 00031), not the HEIC"; exit 1; }
[ "$(shown 00256)" = 48x64 ] || { echo "tick 256 shows $(shown 00256), not the PNG upright"; exit 1; }
grep -q 'File=c.png' "$work/k.INI" || { echo "File not recorded"; cat "$work/k.INI"; exit 1; }
echo "HEIC and upright PNG shown, cut WebP skipped"
