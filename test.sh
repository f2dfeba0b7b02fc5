#!/usr/bin/env bash
# Builds and runs every test: the native build, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, the fuzzers for a bounded
# time, and the Windows builds (i686, then x86_64) with their tests under Wine on an Xvfb display.
# On a fresh Debian 12 machine, run as root: it installs what it needs first.
#
#   ./test.sh                   everything
#   KAVROSA_STAGES="native win32" ./test.sh    only some stages
#   stages: native asan tsan fuzz win32 win64
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
stages=${KAVROSA_STAGES:-native asan tsan fuzz win32 win64}
jobs=${KAVROSA_JOBS:-$(nproc)}
failed=()
passed=()

./tools/install-deps.sh || echo "test.sh: some packages are missing (named above); the stages that need them will fail" >&2

has_stage() { [[ " $stages " == *" $1 "* ]]; }

run_stage() {  # name, command...
  local name=$1
  shift
  echo "=== $name"
  if "$@"; then passed+=("$name"); else failed+=("$name"); echo "=== $name FAILED"; fi
}

# ccache, where present, makes a second run (or a second checkout) of the same sources quick.
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

configure_and_build() {  # dir, cmake args...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null && cmake --build "$dir" -j "$jobs"
}

native() {
  configure_and_build build -DCMAKE_BUILD_TYPE=Release &&
    ctest --test-dir build --output-on-failure -j "$jobs"
}

asan() {
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVROSA_SANITIZE=ON \
    -DKAVROSA_BENCH=OFF &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-asan --output-on-failure -j "$jobs"
}

tsan() {
  configure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVROSA_TSAN=ON \
    -DKAVROSA_BENCH=OFF &&
    TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -L threads
}

fuzz() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKAVROSA_FUZZ=ON -DKAVROSA_SANITIZE=ON -DKAVROSA_BENCH=OFF "${launcher[@]}" >/dev/null &&
    cmake --build build-fuzz -j "$jobs" --target kavrosa-fuzzers || return 1
  local ok=0 f seconds
  for f in build-fuzz/fuzz/fuzz-*; do
    [ -x "$f" ] || continue
    local name=${f##*/fuzz-}
    seconds=$(cat "fuzz/$name.seconds" 2>/dev/null || echo 30)
    mkdir -p "build-fuzz/corpus-$name"
    echo "--- fuzz $name for ${seconds}s"
    if ! "$f" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix="build-fuzz/crash-$name-" "build-fuzz/corpus-$name" "fuzz/corpus/$name" \
      >"build-fuzz/fuzz-$name.log" 2>&1; then
      tail -n 40 "build-fuzz/fuzz-$name.log"
      ok=1
    fi
  done
  return $ok
}

start_display() {
  if [ -z "${KAVROSA_DISPLAY_STARTED:-}" ]; then
    local n=91
    while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
    export DISPLAY=":$n" KAVROSA_DISPLAY_STARTED=1
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  export KAVROSA_WINEPREFIX="$root/build-wine/prefix"
  mkdir -p "$root/build-wine"
}

windows() {  # arch
  local arch=$1
  start_display
  configure_and_build "build-$arch" --toolchain "cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release &&
    ctest --test-dir "build-$arch" --output-on-failure
}

has_stage native && run_stage native native
has_stage asan && run_stage "asan+ubsan" asan
has_stage tsan && run_stage tsan tsan
has_stage fuzz && run_stage fuzz fuzz
has_stage win32 && run_stage "windows i686 (wine)" windows i686
has_stage win64 && run_stage "windows x86_64 (wine)" windows x86_64

echo
echo "stages passed: ${passed[*]:-none}"
[ ${#failed[@]} -eq 0 ] || { echo "stages FAILED: ${failed[*]}"; exit 1; }
echo "all stages passed"
