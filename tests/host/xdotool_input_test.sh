#!/usr/bin/env bash
# Real X input to the full-screen kavrosa.scr under Wine: xdotool moves the pointer by the
# movement allowance (closes nothing), one more pixel (closes, exit 0, picture number written),
# then a second run is closed by a key press. The allowance is 4 pixels at 96 dpi and scales with
# the DPI: given a DPI, the test sets LogPixels in a Wine prefix of its own for the run (and
# restores it after), so at 192 dpi 8 pixels close nothing and 9 close. Needs DISPLAY; every wait
# is bounded.
#   xdotool_input_test.sh KAVROSA_SCR WINE_RUN [DPI]
set -u
scr="$1"
wine_run="$2"
dpi="${3:-}"
work=$(mktemp -d)
pid=""
desktop_key='HKCU\Control Panel\Desktop'
restore_dpi() {
  [ -n "$dpi" ] || return 0
  timeout 20 wineserver -w 2>/dev/null
  if [ -n "${saved_dpi:-}" ]; then
    "$wine_run" reg add "$desktop_key" /v LogPixels /t REG_DWORD /d "$saved_dpi" /f >/dev/null 2>&1
  else
    "$wine_run" reg delete "$desktop_key" /v LogPixels /f >/dev/null 2>&1
  fi
  timeout 20 wineserver -w 2>/dev/null
}
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; restore_dpi; rm -rf "$work"' EXIT
cp "$scr" "$work/kavrosa.scr"
fail() { echo "FAIL: $*"; exit 1; }

threshold=4
if [ -n "$dpi" ]; then
  # A prefix of its own, so that no other test ever runs at this DPI.
  export WINEPREFIX="${KAVROSA_WINEPREFIX:-$HOME/.kavrosa-wine}-displays"
  saved_dpi=$("$wine_run" reg query "$desktop_key" /v LogPixels 2>/dev/null |
    sed -n 's/.*REG_DWORD *0x\([0-9a-fA-F]*\).*/\1/p' | tr -d '\r')
  [ -n "$saved_dpi" ] && saved_dpi=$((16#$saved_dpi))
  "$wine_run" reg add "$desktop_key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    fail "could not set LogPixels"
  timeout 20 wineserver -w 2>/dev/null
  threshold=$((4 * dpi / 96))
fi

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
  pid=""
  [ "$code" -eq 0 ] || fail "$1: exit code $code"
  grep -q '^NO=1' "$work/kavrosa.INI" || fail "$1: no picture number written"
  rm -f "$work/kavrosa.INI"
}

# The allowance split over both axes (3 right and 1 down at 96 dpi), then one pixel more.
down=$((threshold / 4))
right=$((threshold - down))
start_saver
xdotool mousemove $((300 + right)) $((300 + down))
sleep 1.5
kill -0 "$pid" 2>/dev/null || fail "a movement of $threshold pixels closed the saver"
xdotool mousemove $((301 + right)) $((300 + down))
wait_exit "movement of $((threshold + 1))"

start_saver
xdotool key space
wait_exit "key press"
echo "1 passed, 0 failed"
