#!/usr/bin/env bash
# kavrosa in other people's windows and in its own. XSCREENSAVER_WINDOW names a window that the
# test made and wins over --root; resizing that window lays the picture out again at the new
# size, exactly as the frames tool lays it out there. A bad -window-id and a bad option are
# refused. In its own window, a movement of 4 pixels leaves the show running, 5 end it, and so do
# a key and the window manager's close.
#   window_test.sh KAVROSA KAVROSA-TOOL HELPER
set -uo pipefail
source "$(dirname "$0")/xtest-lib.sh"
kavrosa=$1 tool=$2 helper=$3
start_xvfb 800x600
w=$xtest_work

for size in 320x240 400x300; do
  reference_frames "$tool" "$w/none.ini" "$size" 100 100 "$w/ref-$size"
done

"$helper" window 320x240 >"$w/window-id" &
xtest_pids+=("$!")
for _ in $(seq 50); do [ -s "$w/window-id" ] && break; sleep 0.1; done
id=$(cat "$w/window-id")
[ -n "$id" ] || fail "no test window"

XSCREENSAVER_WINDOW=$id XDG_CONFIG_HOME="$w/config" "$kavrosa" --root &
pid=$!
xtest_pids+=("$pid")
sleep 3.5
"$helper" grab "$id" "$w/small.bmp"
cmp -s "$w/small.bmp" "$w/ref-320x240/tick-00100.bmp" ||
  fail "picture in XSCREENSAVER_WINDOW differs from the frames tool's at 320x240"
echo "XSCREENSAVER_WINDOW won over --root: the frames tool's 320x240 frame"

"$helper" resize "$id" 400x300
sleep 0.5
"$helper" grab "$id" "$w/large.bmp"
cmp -s "$w/large.bmp" "$w/ref-400x300/tick-00100.bmp" ||
  fail "after the resize the picture is not laid out as at 400x300"
echo "resized to 400x300: laid out again, the frames tool's 400x300 frame"
kill -TERM "$pid"
wait_for_exit "$pid" 5 || fail "SIGTERM did not end it with 0"

"$kavrosa" -window-id 0x7fffff01 2>"$w/bad.err"
rc=$?
[ "$rc" -eq 1 ] && grep -q "no window 0x7fffff01" "$w/bad.err" || fail "bad window id: exit $rc"

"$kavrosa" --interval 301 2>"$w/bad.err"
rc=$?
[ "$rc" -eq 2 ] && [ "$(wc -l <"$w/bad.err")" -eq 1 ] || fail "bad option: exit $rc"
echo "bad window id: exit 1; bad option: one line, exit 2"

# Its own window at 0,0 (no window manager here); the first position seen is the reference.
command -v xdotool >/dev/null || skip "xdotool is not installed"
xdotool mousemove 50 50
XDG_CONFIG_HOME="$w/config" "$kavrosa" -window &
pid=$!
xtest_pids+=("$pid")
sleep 1.5
xdotool mousemove 100 100
sleep 0.3
xdotool mousemove 102 102
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "a movement of 4 pixels ended it"
xdotool mousemove 103 102
wait_for_exit "$pid" 3 || fail "a movement of 5 pixels did not end it with 0"
echo "own window: 4 pixels kept it, 5 ended it"

XDG_CONFIG_HOME="$w/config" "$kavrosa" --window &
pid=$!
xtest_pids+=("$pid")
sleep 1.5
own=$(xdotool search --name '^Kavrosa$' | head -n 1)
[ -n "$own" ] || fail "own window not found"
xdotool key --window "$own" Escape 2>/dev/null
wait_for_exit "$pid" 3 || fail "a key did not end it with 0"
echo "own window: a key ended it"

XDG_CONFIG_HOME="$w/config" "$kavrosa" -window &
pid=$!
xtest_pids+=("$pid")
sleep 1.5
own=$(xdotool search --name '^Kavrosa$' | head -n 1)
"$helper" close "$own"
wait_for_exit "$pid" 3 || fail "the window manager's close did not end it with 0"
echo "own window: WM_DELETE_WINDOW ended it"
echo PASS
