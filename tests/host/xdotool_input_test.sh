#!/usr/bin/env bash
# Real X input to the full-screen kavrosa.scr under Wine: xdotool moves the pointer 3 right and
# 1 down (closes nothing), one more pixel (closes, exit 0, picture number written), then a second
# run is closed by a key press. Needs DISPLAY; every wait is bounded.
set -u
scr="$1"
wine_run="$2"
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
cp "$scr" "$work/kavrosa.scr"
fail() { echo "FAIL: $*"; exit 1; }

start_saver() {
  xdotool mousemove 300 300
  "$wine_run" "$work/kavrosa.scr" /s &
  pid=$!
  for _ in $(seq 600); do
    xdotool search --name '^Screen Saver$' >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || fail "the saver ended before its window appeared"
    sleep 0.1
  done
  xdotool search --name '^Screen Saver$' >/dev/null 2>&1 || fail "no saver window"
  sleep 1
}
wait_exit() {
  for _ in $(seq 150); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "$1: the saver did not close"
  wait "$pid"
  local code=$?
  [ "$code" -eq 0 ] || fail "$1: exit code $code"
  grep -q '^NO=1' "$work/kavrosa.INI" || fail "$1: no picture number written"
  rm -f "$work/kavrosa.INI"
}

start_saver
xdotool mousemove 303 301
sleep 1.5
kill -0 "$pid" 2>/dev/null || fail "a movement of 4 pixels closed the saver"
xdotool mousemove 304 301
wait_exit "movement of 5"

start_saver
xdotool key space
wait_exit "key press"
echo "1 passed, 0 failed"
