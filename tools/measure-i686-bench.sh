#!/usr/bin/env bash
# What the Windows builds cost: runs the decode and dissolve benchmarks of the i686 (or x86_64)
# kavrosa-bench.exe under Wine and of the native x86-64 build, five repetitions each, prints
# their medians side by side, then the Windows run's ratios to libjpeg-turbo built for the same
# target (both sides of each ratio from the one run, so a loaded machine slows both alike).
# Builds the mingw dependencies and both programs first if needed.
#   tools/measure-i686-bench.sh [--arch i686|x86_64] [--time cpu|real] [--filter REGEX] [--no-native]
# (default cpu time: the machine may be shared). KAVROSA_BUILD_WIN (build-i686-bench or
# build-x64-bench) and KAVROSA_BUILD_NATIVE (build) name the build dirs;
# KAVROSA_BENCH_JSON=DIR keeps both runs' JSON there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
field=cpu_time
arch=i686
filter='decode/|fade/'
with_native=1
while [ $# -gt 0 ]; do
  case "$1" in
    --time) [ "${2:-}" = real ] && field=real_time; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --filter) filter=$2; shift 2 ;;
    --no-native) with_native=0; shift ;;
    *) echo "usage: $0 [--arch i686|x86_64] [--time cpu|real] [--filter REGEX]" >&2; exit 2 ;;
  esac
done
case "$arch" in
  i686) win=${KAVROSA_BUILD_WIN:-${KAVROSA_BUILD_I686:-build-i686-bench}} ;;
  x86_64) win=${KAVROSA_BUILD_WIN:-build-x64-bench} ;;
  *) echo "$0: --arch is i686 or x86_64" >&2; exit 2 ;;
esac
native=${KAVROSA_BUILD_NATIVE:-build}
jobs=${KAVROSA_JOBS:-2}
# ccache keeps its objects in the user's cache, with paths taken relative to the checkout.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
args=(--benchmark_filter="$filter" --benchmark_repetitions=5
  --benchmark_report_aggregates_only=true --benchmark_format=json)

build_bench() {  # build dir, cmake args...
  local dir=$1
  shift
  [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" --target kavrosa-bench -j "$jobs" >/dev/null
}

tools/build-mingw-bench-deps.sh "$win/bench-deps" "$arch"
build_bench "$win" --toolchain "cmake/mingw-$arch.cmake"
[ "$with_native" = 1 ] && build_bench "$native"

if [ -n "${KAVROSA_BENCH_JSON:-}" ]; then
  out=$KAVROSA_BENCH_JSON
  mkdir -p "$out"
else
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi
if [ "$with_native" = 1 ]; then
  echo "running native x86-64 ..." >&2
  "$native/kavrosa-bench" "${args[@]}" >"$out/native.json"
else
  echo '{"benchmarks": []}' >"$out/native.json"
fi
echo "running $arch under Wine ..." >&2
# A console program: no display needed, and none of anyone else's is used.
env -u DISPLAY KAVROSA_WINEPREFIX="${KAVROSA_WINEPREFIX:-$root/$win/wine-prefix}" \
  tools/wine-run.sh "$win/kavrosa-bench.exe" "${args[@]}" >"$out/$arch.json"

python3 - "$field" "$out/native.json" "$out/$arch.json" "$arch" <<'EOF'
import json, sys

field, native_file, win_file, arch = sys.argv[1:]
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
head = ("benchmark", "native x86-64", f"{arch} Wine", "Win/native", "vs native", f"vs {arch}")
print(f"{head[0]:54} {head[1]:>13} {head[2]:>10} {head[3]:>11} {head[4]:>9} {head[5]:>8}")
for name, n in (native or {k: 0 for k in win}).items():
    w = win.get(name)
    base = baseline[name.split("/")[0]]
    def vs(run, t):
        return f"{t / run[base]:.2f}" if t and base in run else "-"
    w_text = f"{w:10.3f}" if w else f"{'-':>10}"
    ratio = f"{w / n:.2f}" if w and n else "-"
    print(f"{name:54} {n:13.3f} {w_text} {ratio:>11} {vs(native, n):>9} {vs(win, w):>8}")

# The goals: each of ours over the same work by libjpeg-turbo (or memcpy), from the Windows run.
pairs = [("decode/kavrosa", "decode/libjpeg_turbo_islow"),
         ("decode/kavrosa_fit_4000x3000_to_1920x1080",
          "decode/libjpeg_turbo_fit_4000x3000_to_1920x1080"),
         ("decode/kavrosa_fit_progressive_4000x3000_to_1920x1080",
          "decode/libjpeg_turbo_fit_progressive_4000x3000_to_1920x1080"),
         ("fade/kavrosa", "fade/memcpy")]
print(f"\n{arch} under Wine, one run: ours / theirs ({field.replace('_', ' ')})")
for ours, theirs in pairs:
    if ours in win and theirs in win:
        print(f"  {ours:54} {win[ours] / win[theirs]:.2f}x  ({win[ours]:.3f} / {win[theirs]:.3f} ms)")
for name in ("fade/scaled-1474x1080", "fade/scaled-2949x2160"):
    if name in win:
        print(f"  {name:54} {win[name]:.3f} ms a frame")
EOF
