#!/usr/bin/env bash
# What the 32-bit Windows build (SSE2) costs: runs the decode and dissolve benchmarks of the i686
# kavrosa-bench.exe under Wine and of the native x86-64 build, five repetitions each, and prints
# their medians side by side. Builds the mingw dependencies and both programs first if needed.
#   tools/measure-i686-bench.sh [--time cpu|real]     (default cpu: the machine may be shared)
# KAVROSA_BUILD_I686 (build-i686-bench) and KAVROSA_BUILD_NATIVE (build) name the build dirs;
# KAVROSA_BENCH_JSON=DIR keeps both runs' JSON there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
field=cpu_time
case "${1:-}" in
  --time) [ "${2:-}" = real ] && field=real_time ;;
  "") ;;
  *) echo "usage: $0 [--time cpu|real]" >&2; exit 2 ;;
esac
win=${KAVROSA_BUILD_I686:-build-i686-bench}
native=${KAVROSA_BUILD_NATIVE:-build}
jobs=${KAVROSA_JOBS:-2}
# ccache keeps its objects in the user's cache, with paths taken relative to the checkout.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
args=(--benchmark_filter='decode/|fade/' --benchmark_repetitions=5
  --benchmark_report_aggregates_only=true --benchmark_format=json)

build_bench() {  # build dir, cmake args...
  local dir=$1
  shift
  [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" --target kavrosa-bench -j "$jobs" >/dev/null
}

tools/build-mingw-bench-deps.sh "$win/bench-deps" i686
build_bench "$win" --toolchain cmake/mingw-i686.cmake
build_bench "$native"

if [ -n "${KAVROSA_BENCH_JSON:-}" ]; then
  out=$KAVROSA_BENCH_JSON
  mkdir -p "$out"
else
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi
echo "running native x86-64 ..." >&2
"$native/kavrosa-bench" "${args[@]}" >"$out/native.json"
echo "running i686 under Wine ..." >&2
# A console program: no display needed, and none of anyone else's is used.
env -u DISPLAY KAVROSA_WINEPREFIX="${KAVROSA_WINEPREFIX:-$root/$win/wine-prefix}" \
  tools/wine-run.sh "$win/kavrosa-bench.exe" "${args[@]}" >"$out/i686.json"

python3 - "$field" "$out/native.json" "$out/i686.json" <<'EOF'
import json, sys

field, native_file, win_file = sys.argv[1:]
scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}

def medians(path):
    result = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            result[b["run_name"]] = b[field] * scale[b["time_unit"]]
    return result

native, win = medians(native_file), medians(win_file)
# Each row against its group's yardstick in the same run: libjpeg-turbo for decoding,
# memcpy of the same bytes for the dissolve.
baseline = {"decode": "decode/libjpeg_turbo_islow", "fade": "fade/memcpy"}
print(f"median {field.replace('_', ' ')} in ms; 'vs' is the row over {baseline['decode']} "
      f"(decode/) or {baseline['fade']} (fade/) in the same run")
head = ("benchmark", "native x86-64", "i686 Wine", "i686/native", "vs native", "vs i686")
print(f"{head[0]:32} {head[1]:>13} {head[2]:>10} {head[3]:>11} {head[4]:>9} {head[5]:>8}")
for name, n in native.items():
    w = win.get(name)
    base = baseline[name.split("/")[0]]
    def vs(run, t):
        return f"{t / run[base]:.2f}" if t and base in run else "-"
    w_text = f"{w:10.3f}" if w else f"{'-':>10}"
    ratio = f"{w / n:.2f}" if w else "-"
    print(f"{name:32} {n:13.3f} {w_text} {ratio:>11} {vs(native, n):>9} {vs(win, w):>8}")
EOF
