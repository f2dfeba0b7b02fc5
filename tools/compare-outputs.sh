#!/usr/bin/env bash
# Runs two builds of kavrosa-tool over the same inputs and compares what they write, byte for
# byte (cmp), with their exit codes and messages: `decode` whole and with --fit 1920x1080 and
# 640x480 over the test pictures, the fuzz seeds, the embedded photographs and the generated
# corpus (made here when cjpeg and ImageMagick are at hand); `frames` with the embedded pictures
# (one monitor and two), and over a photograph folder (one monitor and two).
# decode goes through the photograph room now: a file that does not begin like a JPEG stream,
# which the old tool refused as no JPEG, and which the new one reads as a BMP or refuses in the
# words of the decoder its format names (BMP reader, "no decoder for PNG"), is counted apart. Usage: compare-outputs.sh OLD_TOOL NEW_TOOL [EXTRA_DIR...]
set -uo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
shift 2
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

same=0
differ=0
newly=0
note() { echo "$*"; }

dirs=("$here/tests/jpeg/data" "$here/tests/pictures/data" "$here/tests/jpeg/crashers"
      "$here/fuzz/corpus" "$here/resources/pictures" "$@")
if command -v cjpeg >/dev/null && command -v convert >/dev/null; then
  if bash "$here/tests/jpeg/make-generated-corpus.sh" "$work/generated" >/dev/null 2>&1; then
    dirs+=("$work/generated")
  else
    note "(generated corpus not made)"
  fi
fi

run_decode() {  # TOOL IN OUT ARGS... -> "exit|message" on stdout
  local tool=$1 in=$2 out=$3
  shift 3
  local message
  message=$("$tool" decode "$in" "$out" "$@" 2>&1 >/dev/null)
  echo "$?|$message"
}

# Pictures turned by their Exif orientation.
if command -v exiftool >/dev/null; then
  mkdir -p "$work/turned"
  for n in 3 6 8; do
    cp "$here/resources/pictures/picture05.jpg" "$work/turned/turned$n.jpg"
    exiftool -q -n -overwrite_original -Orientation=$n "$work/turned/turned$n.jpg"
  done
  dirs+=("$work/turned")
fi

while IFS= read -r -d '' file; do
  for fit in "" "--fit 1920x1080" "--fit 640x480"; do
    # shellcheck disable=SC2086
    a=$(run_decode "$old" "$file" "$work/old.bmp" $fit)
    # shellcheck disable=SC2086
    b=$(run_decode "$new" "$file" "$work/new.bmp" $fit)
    if [ "$a" = "$b" ] && { [ "${a%%|*}" != 0 ] || cmp -s "$work/old.bmp" "$work/new.bmp"; }; then
      same=$((same + 1))
    elif [ "${a%%|*}" != 0 ] && [ "$(head -c 1 "$file" | od -An -tx1 | tr -d ' ')" != ff ] &&
      { [ "$(head -c 2 "$file")" = BM ] || [ "${b%%|*}" != 0 ]; }; then
      newly=$((newly + 1))
    else
      differ=$((differ + 1))
      note "DIFFERS: decode $file $fit: old '$a', new '$b'"
    fi
    rm -f "$work/old.bmp" "$work/new.bmp"
  done
done < <(find "${dirs[@]}" -type f ! -name '*.sh' ! -name '*.txt' ! -name '*.seconds' -print0 | sort -z)

# frames: NAME SETTINGS_BODY ARGS...
compare_frames() {
  local name=$1 body=$2
  shift 2
  for side in old new; do
    local tool=$old
    [ "$side" = new ] && tool=$new
    printf '%b' "$body" > "$work/$name-$side.INI"
    "$tool" frames --settings "$work/$name-$side.INI" --out "$work/$name-$side" "$@" \
      > "$work/$name-$side.log" 2>&1
    echo "exit $?" >> "$work/$name-$side.log"
    # What the run recorded, beside its frames.
    cp "$work/$name-$side.INI" "$work/$name-$side/settings-after.INI" 2>/dev/null
  done
  if ! cmp -s "$work/$name-old.log" "$work/$name-new.log"; then
    differ=$((differ + 1))
    note "DIFFERS: frames $name: messages or exit code"
  fi
  local count=0
  for frame in "$work/$name-old"/*; do
    count=$((count + 1))
    if cmp -s "$frame" "$work/$name-new/$(basename "$frame")"; then
      same=$((same + 1))
    else
      differ=$((differ + 1))
      note "DIFFERS: frames $name $(basename "$frame")"
    fi
  done
  note "frames $name: $count files compared"
  [ "$(ls "$work/$name-new" | wc -l)" = "$count" ] || {
    differ=$((differ + 1))
    note "DIFFERS: frames $name: frame count"
  }
  rm -rf "$work/$name-old" "$work/$name-new"
}

# Interval 15 s (225 ticks) under its Shift-JIS key; ticks past the first hand-overs.
interval='\x95\x5c\x8e\xa6\x8a\xd4\x8a\x75=15'
two='0,0,320x240;320,0,160x120'
compare_frames embedded "[Config]\r\n$interval\r\n[Image]\r\nNO=11\r\n" \
  --size 320x240 --ticks 0:480
compare_frames embedded-fit "[Config]\r\nFitImage=1\r\n$interval\r\n[Image]\r\nNO=3\r\n" \
  --size 320x240 --ticks 0:240
compare_frames embedded-monitors "[Config]\r\n$interval\r\n" --size 480x240 --monitors "$two" \
  --ticks 0:240

photos=$work/photos
mkdir -p "$photos/sub"
pictures=$here/resources/pictures
cp "$pictures/picture01.jpg" "$photos/a.jpg"
head -c 3000 "$pictures/picture02.jpg" > "$photos/b-cut.jpg"
: > "$photos/c-empty.jpeg"
cp "$here/tests/pictures/data/gray8.bmp" "$photos/e.bmp" 2>/dev/null
cp "$here/tests/jpeg/data/rose_41x27_s1x2_q80_r1_prog.jpg" "$photos/sub/"
[ -f "$work/generated/big_prog.jpg" ] && cp "$work/generated/big_prog.jpg" "$photos/sub/"
if command -v exiftool >/dev/null; then
  cp "$pictures/picture03.jpg" "$photos/turned.jpg"
  exiftool -q -n -overwrite_original -Orientation=6 "$photos/turned.jpg"
fi
if command -v djpeg >/dev/null; then djpeg -bmp "$pictures/picture12.jpg" > "$photos/sub/d.bmp"; fi
folder="[Config]\r\n$interval\r\n[Image]\r\nFolder=$photos\r\n"
compare_frames folder "$folder" --size 640x480 --ticks 0:700
compare_frames folder-monitors "$folder" --size 480x240 --monitors "$two" --ticks 0:480

echo "same: $same, differ: $differ, other formats now read or refused by their own decoder: $newly"
[ "$differ" = 0 ]
