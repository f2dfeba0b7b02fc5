#!/usr/bin/env bash
# The real kavrosa.scr under Wine on two real monitors: an Xorg server with the dummy driver and
# two RandR outputs, a 1280x1024 primary with an 800x600 monitor to its right, then to its left.
# Runs the Wine test TwoMonitorsTest (window over the virtual screen, MonitorRects, a key closes)
# in both layouts with the root window's pixels (the picture centred on each monitor, at its own
# size and fitted), a photograph folder (a sideways photograph with a Japanese name, shown
# upright and fitted on each monitor), and a display change while running (the window follows,
# a key still closes).
# Xorg needs root; when it cannot start, the test is skipped (exit 77). Every wait is bounded.
#   two_monitors_test.sh HOST_TESTS_EXE KAVROSA_SCR WINE_RUN
set -u
host_tests="$1"
scr="$2"
wine_run="$3"
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
failures=0

command -v Xorg >/dev/null && command -v xrandr >/dev/null || skip "no Xorg or xrandr"
[ "$(id -u)" -eq 0 ] || skip "Xorg with the dummy driver needs root"
display="${KAVROSA_XORG_DISPLAY:-}"
if [ -z "$display" ]; then
  for n in $(seq 160 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || skip "no free X display"
fi

work=$(mktemp -d)
xorg_pid=""
saver_pid=""
# A prefix of its own: Wine keeps the monitors it saw per prefix, and this one runs on another
# X server than the other tests.
export WINEPREFIX="${KAVROSA_WINEPREFIX:-$HOME/.kavrosa-wine}-displays"
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
  [ -n "$xorg_pid" ] && kill "$xorg_pid" 2>/dev/null && wait "$xorg_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xorg "$display" -config "$(cd "$(dirname "$0")/.." && pwd)/xorg-dummy.conf" -noreset -nolisten tcp -logfile "$work/xorg.log" \
  >/dev/null 2>&1 &
xorg_pid=$!
export DISPLAY="$display"
for _ in $(seq 100); do
  xrandr >/dev/null 2>&1 && break
  kill -0 "$xorg_pid" 2>/dev/null || break
  sleep 0.1
done
xrandr >/dev/null 2>&1 || { tail -n 20 "$work/xorg.log" 2>/dev/null; skip "Xorg did not start on $display"; }

# The dummy driver may not offer 1280x1024 by itself: give it the standard 60 Hz timing.
xrandr | grep -q '^ *1280x1024 ' ||
  xrandr --newmode 1280x1024 109.00 1280 1368 1496 1712 1024 1027 1034 1063 -hsync +vsync
xrandr --addmode DUMMY0 1280x1024 2>/dev/null
xrandr --addmode DUMMY1 800x600 2>/dev/null

layout() {  # right | left | one
  case "$1" in
    right) xrandr --output DUMMY0 --mode 1280x1024 --pos 0x0 --primary \
      --output DUMMY1 --mode 800x600 --pos 1280x0 ;;
    left) xrandr --output DUMMY1 --mode 800x600 --pos 0x0 \
      --output DUMMY0 --mode 1280x1024 --pos 800x0 --primary ;;
    one) xrandr --output DUMMY1 --off --output DUMMY0 --mode 1280x1024 --pos 0x0 --primary ;;
  esac || fail "xrandr could not set the $1 layout"
  # Wine started at once may still see the old monitors: let the server settle.
  xrandr >/dev/null
  sleep 1
}

run_wine_test() {  # layout, test filter
  timeout 20 wineserver -w 2>/dev/null
  KAVROSA_MONITOR_LAYOUT="$1" KAVROSA_MONITOR_MARKERS="$work/markers" "$wine_run" "$host_tests" \
    --gtest_brief=1 --gtest_filter="$2" >"$work/test-$1.log" 2>&1
  local code=$?
  grep -q 'SKIPPED' "$work/test-$1.log" && code=1
  [ "$code" -eq 0 ] || { cat "$work/test-$1.log"; fail "Wine test in the $1 layout"; }
  return "$code"
}

saver_dir="$work/saver"
mkdir -p "$saver_dir"
cp "$scr" "$saver_dir/kavrosa.scr"
start_saver() {  # fit image 0|1, [photograph folder, as Wine names it]
  rm -f "$saver_dir/kavrosa.INI"
  # Picture 4 (353x482, upright) leaves black on both sides of it on either monitor.
  printf '[Config]\r\nFitImage=%s\r\n[Image]\r\nNO=4\r\n' "$1" >"$saver_dir/kavrosa.INI"
  [ -n "${2:-}" ] && printf 'Folder=%s\r\n' "$2" >>"$saver_dir/kavrosa.INI"
  timeout 20 wineserver -w 2>/dev/null
  xdotool mousemove 100 100
  "$wine_run" "$saver_dir/kavrosa.scr" /s >/dev/null 2>&1 &
  saver_pid=$!
  for _ in $(seq 600); do
    xdotool search --name '^Screen Saver$' >/dev/null 2>&1 && break
    kill -0 "$saver_pid" 2>/dev/null || break
    sleep 0.1
  done
  saver_window=$(xdotool search --name '^Screen Saver$' 2>/dev/null | head -n1)
  [ -n "$saver_window" ] || { fail "no saver window"; return 1; }
  sleep 1
}
close_saver() {  # what
  xdotool key space
  for _ in $(seq 150); do
    kill -0 "$saver_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$saver_pid" 2>/dev/null; then
    fail "$1: a key did not close the saver"
    kill "$saver_pid" 2>/dev/null
  fi
  wait "$saver_pid"
  local code=$?
  saver_pid=""
  [ "$code" -eq 0 ] || fail "$1: exit code $code"
}

# Pixel (x, y) of a root-window screenshot as a number, 0 when black.
pixel() {
  convert "$1" -crop "1x1+$2+$3" +repage -format "%[fx:int(255*(r+g+b))]" info: 2>/dev/null
}
# Per monitor (X root coordinates of its left, top, width, height): the centre shows the
# picture and a point 20 pixels in from the left edge, between the picture and the edge, is black.
check_monitor() {  # shot, what, left, top, width, height
  local shot=$1 what=$2 cx=$(($3 + $5 / 2)) cy=$(($4 + $6 / 2))
  [ "$(pixel "$shot" "$cx" "$cy")" != 0 ] || fail "$what: black at the centre $cx,$cy"
  [ "$(pixel "$shot" $(($3 + 20)) "$cy")" = 0 ] || fail "$what: not black at $(($3 + 20)),$cy"
}
check_pixels() {  # layout, fit image
  start_saver "$2" || return
  sleep 3  # past the dissolve-in: the picture is held
  local shot="$work/root-$1-fit$2.png"
  import -window root "$shot"
  if [ "$1" = right ]; then
    check_monitor "$shot" "$1 fit $2 primary" 0 0 1280 1024
    check_monitor "$shot" "$1 fit $2 second" 1280 0 800 600
  else
    check_monitor "$shot" "$1 fit $2 primary" 800 0 1280 1024
    check_monitor "$shot" "$1 fit $2 second" 0 0 800 600
  fi
  [ -n "${KAVROSA_MONITOR_SHOTS:-}" ] && cp "$shot" "$KAVROSA_MONITOR_SHOTS/"
  close_saver "pixels $1 fit $2"
}

# A folder whose one photograph is stored on its side (1600x1200, Exif orientation 6) and named
# in Japanese: upright it is 1200x1600, red above blue, so it is fitted on both monitors, 768x1024
# from x 256 on the primary and 450x600 from x 1455 on the second.
rgb() {  # shot x y: "R G B", 0-255
  convert "$1" -crop "1x1+$2+$3" +repage -format "%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]" info: 2>/dev/null
}
expect_colour() {  # shot what x y red|blue|black
  local r g b
  read -r r g b <<<"$(rgb "$1" "$3" "$4")"
  case "$5" in
    red) ((r > 200 && g < 60 && b < 60)) ;;
    blue) ((b > 200 && r < 60 && g < 60)) ;;
    black) ((r + g + b == 0)) ;;
  esac || fail "$2: $r $g $b at $3,$4, not $5"
}
check_folder() {
  local photos="$work/photos" shot="$work/root-folder.png"
  mkdir -p "$photos"
  convert -size 1200x800 xc:red -size 1200x800 xc:blue -append -rotate -90 "$work/side.ppm"
  cjpeg -quality 95 -outfile "$work/side.jpg" "$work/side.ppm"
  # SOI, then an APP1 Exif block (little-endian TIFF, one entry: orientation 6), then the rest.
  { printf '\xff\xd8\xff\xe1\x00\x22Exif\x00\x00II\x2a\x00\x08\x00\x00\x00\x01\x00'
    printf '\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00\x00'
    tail -c +3 "$work/side.jpg"; } >"$photos/縦の写真.jpg"
  LC_ALL=C.UTF-8 start_saver 0 "Z:$(echo "$photos" | tr / '\\')" || return
  sleep 4
  import -window root "$shot"
  expect_colour "$shot" "folder primary top" 640 256 red
  expect_colour "$shot" "folder primary bottom" 640 768 blue
  expect_colour "$shot" "folder primary left of it" 250 256 black
  expect_colour "$shot" "folder primary its left edge" 260 256 red
  expect_colour "$shot" "folder second top" 1680 150 red
  expect_colour "$shot" "folder second bottom" 1680 450 blue
  expect_colour "$shot" "folder second left of it" 1450 150 black
  expect_colour "$shot" "folder second its left edge" 1460 150 red
  [ -n "${KAVROSA_MONITOR_SHOTS:-}" ] && cp "$shot" "$KAVROSA_MONITOR_SHOTS/"
  close_saver "folder"
  grep -q 'File=%E7%B8%A6%E3%81%AE%E5%86%99%E7%9C%9F.jpg' "$saver_dir/kavrosa.INI" ||
    fail "folder: the photograph was not recorded as File"
}

for arrangement in right left; do
  layout "$arrangement"
  run_wine_test "$arrangement" 'TwoMonitorsTest.WindowCoversBothAndReportsEachMonitor:MonitorRectsTest.*'
  check_pixels "$arrangement" 0
  check_pixels "$arrangement" 1
done

layout right
check_folder

# A display change while the saver runs, from two monitors to the primary alone: the Wine test
# starts the saver and waits for the outputs to change between its marker files.
layout right
mkdir -p "$work/markers"
run_wine_test change 'TwoMonitorsTest.FollowsADisplayChangeToOneMonitor' &
test_pid=$!
for _ in $(seq 600); do
  [ -e "$work/markers/ready" ] && break
  kill -0 "$test_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -e "$work/markers/ready" ]; then
  layout one
  touch "$work/markers/changed"
fi
wait "$test_pid" || fail "display change"

if [ "$failures" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; exit 1; fi
