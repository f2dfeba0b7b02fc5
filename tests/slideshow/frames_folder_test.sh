#!/bin/bash
# kavrosa-tool frames over a photograph folder made here: two runs give the same frames (the
# tool waits for the folder worker before each hand-over), a folder photograph is on screen, and
# a run whose only photograph is a FIFO (a read that never returns) still ends at once.
# Usage: frames_folder_test.sh KAVROSA_TOOL PICTURES_DIR
set -eu
tool=$1
pictures=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/photos/sub" "$work/fifo"
cp "$pictures/picture01.jpg" "$work/photos/a.jpg"
head -c 3000 "$pictures/picture02.jpg" > "$work/photos/b-cut.jpg"
: > "$work/photos/c-empty.jpeg"
djpeg -bmp "$pictures/picture12.jpg" > "$work/photos/sub/d.bmp"
# Interval 15 s (225 ticks) under its Shift-JIS key.
printf '[Config]\r\n\x95\x5c\x8e\xa6\x8a\xd4\x8a\x75=15\r\n[Image]\r\nFolder=%s\r\n' "$work/photos" > "$work/a.INI"
cp "$work/a.INI" "$work/b.INI"

"$tool" frames --settings "$work/a.INI" --size 640x480 --ticks 0:260 --out "$work/run1"
"$tool" frames --settings "$work/b.INI" --size 640x480 --ticks 0:260 --out "$work/run2"
for frame in "$work"/run1/*.bmp; do
  cmp -s "$frame" "$work/run2/$(basename "$frame")" || { echo "frames differ: $frame"; exit 1; }
done
# Tick 31 shows a.jpg whole (its period began on tick 1); from tick 226 sub/d.bmp is shown.
cmp -s "$work/run1/tick-00031.bmp" "$work/run1/tick-00000.bmp" && { echo "tick 31 is black"; exit 1; }
grep -q 'File=sub/d.bmp' "$work/a.INI" || { echo "File not recorded"; cat "$work/a.INI"; exit 1; }

mkfifo "$work/fifo/photo.jpg"
printf '[Image]\r\nFolder=%s\r\n' "$work/fifo" > "$work/c.INI"
start=$(date +%s%N)
timeout 10 "$tool" frames --settings "$work/c.INI" --size 64x48 --folder-wait 0 --ticks 0:5 \
  --out "$work/run3"
echo "run over a blocked read ended after $(( ($(date +%s%N) - start) / 1000000 )) ms"
