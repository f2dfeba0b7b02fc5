#!/usr/bin/env bash
# A measurement, not a test: the real kavrosa.scr under Wine over a library of 100,000 hard
# links behind tools/slowfs.py (40 ms a listing, 20 ms an open, 100 ms a MB read), timed from
# screenshots: from the saver's window appearing to the first screenshot with a photograph's
# pixels in the middle of the screen; cold (no index), then warm (after a run long enough for the
# worker's walk to write the index). Screenshots are about 0.1 s apart.
#   tools/measure-library-wine.sh [--build build-i686] [--walk-seconds 90]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-i686
walk_seconds=90
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --walk-seconds) walk_seconds="$2"; shift 2 ;;
    *) echo "usage: tools/measure-library-wine.sh [--build DIR] [--walk-seconds N]" >&2; exit 2 ;;
  esac
done
here=$(pwd)/tools
photos=100000 folders=1000
base=${KAVROSA_LIBRARY_DIR:-/tmp/kavrosa-library}
library=$base/library-$photos-$folders
mnt=$base/mnt-wine
source "$here/library-lib.sh"
make_library
cmake --build "$build" --target kavrosa_scr >/dev/null

for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
work=$(mktemp -d)
mkdir -p "$mnt"
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
/usr/bin/python3 "$here/slowfs.py" "$library" "$mnt" &
fs_pid=$!
export KAVROSA_WINEPREFIX="${KAVROSA_WINEPREFIX:-$(pwd)/build-wine/prefix}"
export WINEPREFIX="$KAVROSA_WINEPREFIX" DISPLAY="$display"
saver_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  timeout 20 wineserver -k 2>/dev/null || true
  fusermount -u "$mnt" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$fs_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && mountpoint -q "$mnt" && break; sleep 0.1; done
./tools/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
cache_dir=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -path '*/AppData/Local' | head -1)
cp "$build/host/kavrosa.scr" "$work/"
printf '[Config]\r\nShuffle=0\r\n[Image]\r\nFolder=Z:%s\r\n' "${mnt//\//\\}" >"$work/kavrosa.INI"

now_ms() { date +%s%3N; }
lit() {  # the largest channel value in the middle 400x300 of the screen
  import -window root -crop 400x300+440+210 +repage -format '%[max]' info: 2>/dev/null || echo 0
}
show() {  # label, seconds to keep the saver running after its first photograph
  local label=$1 keep=$2 start window first=""
  start=$(now_ms)
  ./tools/wine-run.sh "$work/kavrosa.scr" /s >/dev/null 2>&1 &
  saver_pid=$!
  for _ in $(seq 600); do
    xdotool search --name '^Screen Saver$' >/dev/null 2>&1 && break
    sleep 0.05
  done
  window=$(now_ms)
  for _ in $(seq 600); do
    if [ "$(lit)" != 0 ]; then first=$(now_ms); break; fi
  done
  if [ -n "$first" ]; then
    printf '%-8s window after %5d ms; first photograph %5d ms after the window\n' "$label" \
      $((window - start)) $((first - window))
  else
    echo "$label: no photograph within a minute"
  fi
  sleep "$keep"
  xdotool key space 2>/dev/null || true
  wait "$saver_pid" 2>/dev/null || true
  saver_pid=""
}
rm -rf "$cache_dir/Kavrosa"
show cold "$walk_seconds"
ls "$cache_dir/Kavrosa" >/dev/null 2>&1 || echo "(no index was written during the cold run)"
show warm 1
