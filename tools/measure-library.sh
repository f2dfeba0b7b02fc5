#!/usr/bin/env bash
# A measurement, not a test: how long the show takes from its start to the first tick that draws
# a photograph, over a library of hard links behind tools/slowfs.py (a FUSE file system that
# waits 40 ms for each folder listing, 20 ms for each open and 100 ms for each MB read), cold
# (no index) in name order, in shuffle and resuming at a recorded File, then warm (the index
# present). Uses kavrosa-tool frames --time-first (ticks run unpaced, so a real 66 ms tick adds
# at most one tick). Needs fuse, python3-fusepy, imagemagick and libjpeg-turbo-progs.
#   tools/measure-library.sh [build/kavrosa-tool] [PHOTOS] [FOLDERS]
# The library is made once under $KAVROSA_LIBRARY_DIR (default /tmp/kavrosa-library) and kept.
set -euo pipefail
tool=$(realpath "${1:-build/kavrosa-tool}")
photos=${2:-100000}
folders=${3:-1000}
here=$(cd "$(dirname "$0")" && pwd)
base=${KAVROSA_LIBRARY_DIR:-/tmp/kavrosa-library}
library=$base/library-$photos-$folders
mnt=$base/mnt
work=$(mktemp -d)
mkdir -p "$mnt"

source "$here/library-lib.sh"
make_library

/usr/bin/python3 "$here/slowfs.py" "$library" "$mnt" &
fs=$!
cleanup() {
  fusermount -u "$mnt" 2>/dev/null || true
  wait "$fs" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 1 100); do mountpoint -q "$mnt" && break; sleep 0.1; done

run() {  # label, extra settings lines
  local label=$1 extra=$2
  printf '[Config]\r\nShuffle=%s\r\n[Image]\r\nFolder=%s\r\n%s' "${shuffle:-0}" "$mnt" "$extra" \
    > "$work/k.ini"
  printf '%-34s ' "$label"
  XDG_CACHE_HOME=$work/cache "$tool" frames --settings "$work/k.ini" --size 1280x720 \
    --folder-wait 600000 --time-first yes --ticks 1:1 --out "$work/frames" | grep first || echo
}

has_index=0
case $("$tool" 2>&1 || true) in *"kavrosa-tool index"*) has_index=1 ;; esac
echo "$photos photographs in $folders folders on a 40/20/100 ms share ($(du -sh --apparent-size "$base"/src1.jpg | cut -f1) each)"
rm -rf "$work/cache"; shuffle=0 run "cold, name order:" ""
rm -rf "$work/cache"; shuffle=1 run "cold, shuffle:" ""
middle=$(printf 'Album %04d/IMG_%07d.jpg' $((folders / 2)) $((photos / 2)))
rm -rf "$work/cache"; shuffle=0 run "cold, resuming at File:" "File=${middle// /%20}"
if [ "$has_index" = 1 ]; then
  printf '%-34s ' "building the index:"
  XDG_CACHE_HOME=$work/cache /usr/bin/time -f '%e s, peak %M KiB' "$tool" index "$mnt" 2>&1 | tr '\n' ' '
  echo
  shuffle=0 run "warm, name order:" ""
  shuffle=1 run "warm, shuffle:" ""
  shuffle=0 run "warm, resuming at File:" "File=${middle// /%20}"
fi
