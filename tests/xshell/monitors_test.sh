#!/usr/bin/env bash
# kavrosa -root on two RandR monitors side by side (Xorg with the dummy driver: Xvfb cannot
# place heads apart) shows what the frames tool shows for the same monitors, byte for byte, and
# lays out again when the monitors change places while it runs. Needs root (for Xorg) and a
# controller that lays out per monitor (the frames tool's --monitors); skipped otherwise.
#   monitors_test.sh KAVROSA KAVROSA-TOOL HELPER
set -uo pipefail
source "$(dirname "$0")/xtest-lib.sh"
kavrosa=$1 tool=$2 helper=$3
w=$xtest_work
[ "$(id -u)" -eq 0 ] || skip "Xorg with the dummy driver needs root"
command -v Xorg >/dev/null && [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
  skip "Xorg or its dummy driver is not installed (xserver-xorg-core, xserver-xorg-video-dummy)"
command -v xrandr >/dev/null || skip "xrandr is not installed"
"$tool" frames --settings "$w/none.ini" --ticks 0:0 --out "$w/probe" --monitors '0,0,8x8' \
  >/dev/null 2>&1 || skip "this build's controller does not lay out per monitor"

start_server Xorg -config "$(cd "$(dirname "$0")/.." && pwd)/xorg-dummy.conf" -noreset -nolisten tcp -logfile "$w/xorg.log"
xrandr --addmode DUMMY1 800x600 2>/dev/null
xrandr --output DUMMY0 --mode 1024x768 --pos 0x0 --primary \
  --output DUMMY1 --mode 800x600 --pos 1024x0 || fail "xrandr could not place the monitors"
xrandr >/dev/null
sleep 1
[ "$(xrandr --listmonitors | head -n 1)" = "Monitors: 2" ] || fail "two monitors expected"

reference_frames "$tool" "$w/none.ini" 1824x768 100 100 "$w/right" --monitors \
  '0,0,1024x768;1024,0,800x600'
XDG_CONFIG_HOME="$w/config" "$kavrosa" -root &
pid=$!
xtest_pids+=("$pid")
sleep 3.5
"$helper" grab root "$w/two.bmp"
cmp -s "$w/two.bmp" "$w/right/tick-00100.bmp" ||
  fail "the root window is not the frames tool's frame for the two monitors"
echo "two monitors: the picture on each, the frames tool's frame byte for byte"

# The second monitor moves to the left of the primary while the show runs.
reference_frames "$tool" "$w/none.ini" 1824x768 100 100 "$w/left" --monitors \
  '800,0,1024x768;0,0,800x600'
xrandr --output DUMMY1 --pos 0x0 --output DUMMY0 --pos 800x0 || fail "xrandr could not move"
sleep 1
"$helper" grab root "$w/moved.bmp"
cmp -s "$w/moved.bmp" "$w/left/tick-00100.bmp" ||
  fail "after the monitors moved the picture was not laid out again"
echo "monitors swapped: laid out again, the frames tool's frame byte for byte"
kill -TERM "$pid"
wait_for_exit "$pid" 5 || fail "SIGTERM did not end it with 0"
echo PASS
