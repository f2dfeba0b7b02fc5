#!/usr/bin/env bash
# A measurement, not a test: the X11 program's CPU share of one core (utime + stime of its
# process from /proc/PID/stat; the X server's share is apart) over 20 s of a held picture (30 s
# interval, from 4 s in: the first decode, the fade-in and the next decode are over), and over a
# whole period of the shortest interval, on a private Xvfb.
#   tools/measure-kavrosa-cpu.sh [build/xshell/kavrosa] [WxH]
set -euo pipefail
kavrosa=${1:-build/xshell/kavrosa}
size=${2:-1920x1080}
source "$(dirname "$0")/../tests/xshell/xtest-lib.sh"
start_xvfb "$size"
hz=$(getconf CLK_TCK)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
share() {  # pid seconds label
  local a b t0 t1
  a=$(cpu_ticks "$1")
  t0=$(date +%s%N)
  sleep "$2"
  b=$(cpu_ticks "$1")
  t1=$(date +%s%N)
  awk -v d=$((b - a)) -v hz="$hz" -v ns=$((t1 - t0)) -v label="$3" \
    'BEGIN { printf "%-34s %6.2f%% of a core (%d ticks of 1/%d s in %.1f s)\n", label, 100 * d / hz / (ns / 1e9), d, hz, ns / 1e9 }'
}

for fit in "" --fit; do
  XDG_CONFIG_HOME="$xtest_work/config" "$kavrosa" --root --interval 30 $fit &
  pid=$!
  xtest_pids+=("$pid")
  sleep 4
  share "$pid" 20 "held, $size ${fit:-(own size)}:"
  kill -TERM "$pid"
  wait "$pid" || true
  XDG_CONFIG_HOME="$xtest_work/config" "$kavrosa" --root --interval 15 $fit &
  pid=$!
  xtest_pids+=("$pid")
  sleep 0.5
  share "$pid" 15 "one 15 s period, ${fit:-own size}:"
  kill -TERM "$pid"
  wait "$pid" || true
done
