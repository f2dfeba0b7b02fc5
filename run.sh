#!/usr/bin/env bash
# Builds kavrosa.scr for 32-bit Windows and runs it under Wine on a private Xvfb display: full
# screen (/s), as a preview inside a parent window (/p), or its configuration dialog (/c). Takes
# screenshots into out/ while it runs, then ends it with a real key press and prints the exit code.
# It always ends: a run that a key press does not end is stopped 15 s later.
set -euo pipefail
cd "$(dirname "$0")"

mode=s
size=1024x768
seconds=8
out=out
usage() {
  cat <<USAGE
usage: ./run.sh [--mode s|p|c] [--size WxH] [--seconds N] [--out DIR]
  --mode s      full-screen saver (default)
  --mode p      preview inside a 400x300 parent window (kavrosa-preview-host.exe)
  --mode c      configuration dialog
  --size WxH    size of the virtual screen (default 1024x768)
  --seconds N   how long it runs before the key press (default 8)
  --out DIR     where the screenshots go (default out/)
The build goes to build-i686 (or \$KAVROSA_RUN_BUILD_DIR); Wine uses \$KAVROSA_WINEPREFIX (default ~/.kavrosa-wine);
the X display is a free one from :90 (or \$KAVROSA_RUN_DISPLAY).
USAGE
}
while [ $# -gt 0 ]; do
  case "$1" in
    --mode) mode="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
done
case "$mode" in s|p|c) ;; *) echo "run.sh: --mode takes s, p or c" >&2; exit 2 ;; esac
[[ "$size" =~ ^[0-9]+x[0-9]+$ ]] || { echo "run.sh: --size takes WxH" >&2; exit 2; }
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "run.sh: --seconds takes a number" >&2; exit 2; }

build="${KAVROSA_RUN_BUILD_DIR:-build-i686}"
./tools/install-deps.sh
cmake -S . -B "$build" -G Ninja --toolchain cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target kavrosa_scr kavrosa_preview_host -j "$(nproc)"

# A private display, so nothing of the user's desktop is touched ($KAVROSA_RUN_DISPLAY may name it).
display="${KAVROSA_RUN_DISPLAY:-}"
[ -n "$display" ] || for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "run.sh: no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export KAVROSA_WINEPREFIX="${KAVROSA_WINEPREFIX:-$HOME/.kavrosa-wine}"
saver_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null || true
  # Let Wine's helper processes leave the display before it goes away.
  WINEPREFIX="$KAVROSA_WINEPREFIX" timeout 15 wineserver -w 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

export WINEPREFIX="$KAVROSA_WINEPREFIX"
./tools/wine-japanese-font.sh

# The saver keeps its settings beside itself: run a copy in a scratch folder.
work=$(mktemp -d)
cp "$build/host/kavrosa.scr" "$build/host/kavrosa-preview-host.exe" "$work/"
# A Japanese locale gives Wine code page 932, so the dialog's texts survive the ANSI dialog calls.
# (The shell's own complaint that it has no such locale is dropped: Wine needs only the name.)
wine_run() {
  env LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 ./tools/wine-run.sh "$@" 2> >(grep -v setlocale >&2)
}
mkdir -p "$out"
shot() {
  import -display "$display" -window root "$out/$1.png"
  echo "screenshot: $out/$1.png"
}
wait_window() {  # name, seconds
  for _ in $(seq $(($2 * 10))); do
    xdotool search --name "$1" 2>/dev/null | head -n1 && return 0
    sleep 0.1
  done
  return 1
}

case "$mode" in
  s) title="Screen Saver"; args=("$work/kavrosa.scr" /s) ;;
  p) title="Kavrosa preview"; args=("$work/kavrosa-preview-host.exe") ;;
  c) title="Kavrosa"; args=("$work/kavrosa.scr" /c) ;;
esac
wine_run "${args[@]}" &
saver_pid=$!
window=$(wait_window "$title" 90) || { echo "run.sh: the window did not appear" >&2; exit 1; }
if [ "$mode" = c ]; then
  sleep 1; shot dialog
else
  # The first picture dissolves in over about two seconds, then holds.
  sleep 0.8; shot "$mode-fade-in"
  sleep 2.2; shot "$mode-hold"
  if [ "$seconds" -gt 3 ]; then sleep $((seconds - 3)); shot "$mode-late"; fi
fi

# A real key press through the X server (Escape: the dialog cancels, the saver closes; the
# preview host closes its window, which takes the preview along). Without a window manager the
# X server gives keys to the window under the pointer, which need not be ours (the preview
# host's window is not under the pointer at the screen's centre): give it the focus first.
xdotool windowfocus "$window" 2>/dev/null || true
sleep 0.3
xdotool key Escape
for _ in $(seq 150); do
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$saver_pid" 2>/dev/null; then
  echo "run.sh: still running 15 s after the key press; ending it" >&2
  kill "$saver_pid" 2>/dev/null || true
fi
code=0
wait "$saver_pid" || code=$?
saver_pid=""
echo "exit code: $code"
echo "settings: $(cat "$work"/kavrosa.INI 2>/dev/null | tr '\r\n' '  ' || echo none)"
echo "screenshots in $out/"
