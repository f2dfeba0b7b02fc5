#!/usr/bin/env bash
# Measures the CPU the running saver costs (a measurement, not a test): builds kavrosa.scr,
# runs it full screen under Wine on a private Xvfb (1920x1080 unless --size) with FitImage on,
# and prints the saver process's share of one core (utime + stime from /proc/PID/stat; the X
# server's share is apart) while the first picture is held, and over one whole default period
# of 30 s. --arch x86_64 measures the 64-bit module (build dir build-x86_64 by default).
#   tools/measure-cpu.sh [--display :N] [--build DIR] [--fit 0|1] [--size WxH] [--arch i686|x86_64]
# KAVROSA_SKIP_INSTALL=1 leaves out the dependency check (apt) before the build.
set -euo pipefail
cd "$(dirname "$0")/.."

display=""
build=""
arch=i686
fit=1
size=1920x1080
while [ $# -gt 0 ]; do
  case "$1" in
    --display) display="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --fit) fit="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --arch) arch="$2"; shift 2 ;;
    *) echo "usage: tools/measure-cpu.sh [--display :N] [--build DIR] [--fit 0|1] [--size WxH]" \
         "[--arch i686|x86_64]" >&2
       exit 2 ;;
  esac
done
[ -f "cmake/mingw-$arch.cmake" ] || { echo "measure-cpu: no toolchain for $arch" >&2; exit 2; }
[ -n "$build" ] || build="${KAVROSA_RUN_BUILD_DIR:-build-$arch}"

[ -n "${KAVROSA_SKIP_INSTALL:-}" ] || ./tools/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build" -G Ninja --toolchain "cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
    "${launcher[@]}" >/dev/null
fi
cmake --build "$build" --target kavrosa_scr >/dev/null

if [ -z "$display" ]; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || { echo "measure-cpu: no free X display" >&2; exit 1; }
fi
work=$(mktemp -d)
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export KAVROSA_WINEPREFIX="${KAVROSA_WINEPREFIX:-$HOME/.kavrosa-wine}"
export WINEPREFIX="$KAVROSA_WINEPREFIX" DISPLAY="$display"
saver_pid=""
cleanup() {
  [ -n "${measured_pid:-}" ] && kill "$measured_pid" 2>/dev/null
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# Start Wine's own processes first, so that the saver's first seconds are its own.
./tools/wine-run.sh cmd /c exit >/dev/null 2>&1 || true

cp "$build/host/kavrosa.scr" "$work/"
printf '[Config]\r\nFitImage=%s\r\n' "$fit" >"$work/kavrosa.INI"
./tools/wine-run.sh "$work/kavrosa.scr" /s >/dev/null 2>&1 &
saver_pid=$!
for _ in $(seq 600); do
  xdotool search --name '^Screen Saver$' >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool search --name '^Screen Saver$' >/dev/null 2>&1 || { echo "measure-cpu: no saver window" >&2; exit 1; }

# wine-run.sh execs Wine; for a .scr Wine starts it from start.exe as a process of its own,
# named by its Windows path (the work directory is unique). Without one, Wine's own process is
# the saver.
measured_pid=$saver_pid
for pid in $(pgrep -f "kavrosa\.scr /s" || true); do
  cmdline=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null || true)
  case "$cmdline" in
    *start.exe*) ;;
    *"$(basename "$work")"*) measured_pid=$pid ;;
  esac
done
ticks() {  # utime + stime of the saver, in clock ticks
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$measured_pid/stat"
}
hz=$(getconf CLK_TCK)
share() {  # ticks, seconds
  awk -v t="$1" -v s="$2" -v hz="$hz" 'BEGIN { printf "%.2f%%", 100 * t / hz / s }'
}

# The first hand-over comes with the first tick; the dissolve-in takes 30 ticks (2 s) and the
# next picture is decoded on the worker from the 32nd tick on. Held: from 6 s to 26 s.
sleep 6
a=$(ticks)
sleep 20
b=$(ticks)
# One whole period (450 ticks, 30 s): from 28 s to 58 s, across the second hand-over.
sleep 2
c=$(ticks)
sleep 30
d=$(ticks)
echo "saver CPU at $size, FitImage=$fit ($(basename "$build"), $arch)"
echo "  picture held (20 s):       $(share $((b - a)) 20) of a core"
echo "  one whole period (30 s):   $(share $((d - c)) 30) of a core"
