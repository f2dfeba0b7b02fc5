# Shared by the X11 program's test scripts: a private Xvfb on a free display, scratch space, and
# cleanup of everything a test started. Displays are tried from KAVROSA_XTEST_DISPLAYS
# ("FIRST LAST", default "131 139"); a number another test took is skipped, so parallel tests
# never share a server. Exit code 77 tells CTest a test was skipped.

xtest_pids=()
xtest_work=$(mktemp -d "${TMPDIR:-/tmp}/kavrosa-xtest.XXXXXX")

xtest_cleanup() {
  local pid
  for pid in "${xtest_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${xtest_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$xtest_work"
}
trap xtest_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

skip() {
  echo "SKIPPED: $*"
  exit 77
}

# start_xvfb WxH [extra Xvfb options]: sets DISPLAY.
start_xvfb() {
  local size=$1
  shift
  command -v Xvfb >/dev/null || skip "Xvfb is not installed (apt-get install xvfb)"
  start_server Xvfb -screen 0 "${size}x24" -br -nolisten tcp "$@"
}

# start_server COMMAND ARGS...: runs COMMAND :N ARGS... on the first free display; sets DISPLAY.
# Tests of ours take a display under an flock held until they exit, and the server itself
# says when it is ready (-displayfd), so no test ever talks to another test's server.
start_server() {
  local server=$1
  shift
  local range=(${KAVROSA_XTEST_DISPLAYS:-131 139}) n
  for ((n = range[0]; n <= range[1]; n++)); do
    exec {xtest_lock_fd}>"${TMPDIR:-/tmp}/kavrosa-xtest-display-$n.lock"
    if ! flock -n "$xtest_lock_fd" || [ -e "/tmp/.X$n-lock" ]; then
      exec {xtest_lock_fd}>&-
      continue
    fi
    local ready="$xtest_work/ready-$n"
    : >"$ready"
    "$server" ":$n" -displayfd 3 "$@" 3>"$ready" >"$xtest_work/server-$n.log" 2>&1 &
    local pid=$! tries
    for tries in $(seq 100); do
      if [ -s "$ready" ]; then
        xtest_pids+=("$pid")
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break  # the display was taken meanwhile: next one
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    exec {xtest_lock_fd}>&-
  done
  fail "no free display in ${range[*]}"
}

# The frames tool's frames FIRST..LAST at WxH for a settings file, into DIR.
reference_frames() {  # tool settings WxH first last dir [more frames options]
  "$1" frames --settings "$2" --size "$3" --ticks "$4:$5" --out "$6" "${@:7}" >/dev/null ||
    fail "frames tool failed"
}

# Waits up to SECONDS for process PID to end; returns its exit code, or 124 when it did not.
wait_for_exit() {  # pid seconds
  local i
  for ((i = 0; i < $2 * 20; i++)); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; return $?; }
    sleep 0.05
  done
  return 124
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }
