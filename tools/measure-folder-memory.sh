#!/usr/bin/env bash
# A measurement, not a test: the X11 program's peak resident memory (VmHWM) over 40 s at
# 1920x1080 on a private Xvfb, showing the twelve embedded pictures and then a folder of three
# 6000x4000 (24-megapixel) baseline photographs at a 15 s interval (two hand-overs, so a
# photograph is decoded while another is on screen).
#   tools/measure-folder-memory.sh [build/xshell/kavrosa]
set -euo pipefail
kavrosa=${1:-build/xshell/kavrosa}
source "$(dirname "$0")/../tests/xshell/xtest-lib.sh"
start_xvfb 1920x1080
photos=$xtest_work/photos
mkdir -p "$photos"
convert -seed 3 -size 6000x4000 plasma:fractal "$xtest_work/big.ppm"
cjpeg -quality 90 -sample 2x2 -outfile "$photos/a.jpg" "$xtest_work/big.ppm"
rm "$xtest_work/big.ppm"
cp "$photos/a.jpg" "$photos/b.jpg"
cp "$photos/a.jpg" "$photos/c.jpg"

peak() {  # label, options...
  local label=$1 pid kb
  shift
  XDG_CONFIG_HOME="$xtest_work/config" "$kavrosa" --root --interval 15 "$@" &
  pid=$!
  xtest_pids+=("$pid")
  sleep 40
  kb=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
  kill -TERM "$pid"
  wait "$pid" || true
  printf '%-44s peak %6d KiB\n' "$label" "$kb"
}

peak "embedded pictures:"
peak "folder of 6000x4000 photographs ($(($(stat -c %s "$photos/a.jpg") / 1024)) KiB each):" \
  --folder "$photos"
echo "two pictures at their fit size 1620x1080: $((2 * 4860 * 1080 / 1024)) KiB"
