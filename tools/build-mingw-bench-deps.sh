#!/usr/bin/env bash
# Builds what kavrosa-bench.exe needs and Debian has no mingw package of: Google Benchmark and
# libjpeg-turbo (with its nasm SIMD, as a Windows program would ship it), static, from Debian's
# source packages, and installs them with stb_image.h into PREFIX. Skips what is already there.
#   tools/build-mingw-bench-deps.sh PREFIX [i686|x86_64]
# The sources are kept in KAVROSA_DEBSRC_CACHE (default ~/.cache/kavrosa-debsrc).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
arch=${2:-i686}
cache=${KAVROSA_DEBSRC_CACHE:-$HOME/.cache/kavrosa-debsrc}
jobs=${KAVROSA_JOBS:-2}
toolchain=$root/cmake/mingw-$arch.cmake
work=$prefix/.work
stamp=$prefix/.built-benchmark-libjpeg-turbo-stb

[ -f "$stamp" ] && exit 0
[ -f "$toolchain" ] || { echo "no toolchain file $toolchain" >&2; exit 1; }
command -v nasm >/dev/null || { echo "nasm is missing (apt-get install nasm)" >&2; exit 1; }
[ -f /usr/include/stb/stb_image.h ] || { echo "stb_image.h is missing (libstb-dev)" >&2; exit 1; }

# Debian's deb-src lists in the cache dir, so the system's apt lists stay as they are.
fetch_sources() {
  ls "$cache"/benchmark_*.dsc "$cache"/libjpeg-turbo_*.dsc >/dev/null 2>&1 && return 0
  mkdir -p "$cache/lists/partial" "$cache/cache/archives/partial" "$cache/sources"
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
    >"$cache/sources/src.sources"
  local o=(-o APT::Sandbox::User=root -o Dir::Etc::sourcelist=/dev/null -o "Dir::Etc::sourceparts=$cache/sources"
    -o "Dir::State::Lists=$cache/lists" -o "Dir::Cache=$cache/cache")
  apt-get "${o[@]}" update -qq
  (cd "$cache" && apt-get "${o[@]}" source --download-only -qq benchmark libjpeg-turbo)
}

unpack() {  # package -> prints the source dir, Debian's patches applied
  local dscs=("$cache/$1"_*.dsc) dsc dir
  dsc=${dscs[-1]}
  dir=$work/$(basename "$dsc" .dsc)
  [ -d "$dir" ] || dpkg-source --no-check -x "$dsc" "$dir" >/dev/null
  echo "$dir"
}

build() {  # source dir, name, cmake args...
  local src=$1 name=$2
  shift 2
  cmake -S "$src" -B "$work/build-$name" -G Ninja --toolchain "$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR="$prefix/lib" \
    "$@" >"$work/$name-configure.log" 2>&1
  cmake --build "$work/build-$name" -j "$jobs" >"$work/$name-build.log"
  cmake --install "$work/build-$name" >"$work/$name-install.log"
}

mkdir -p "$work"
fetch_sources
start=$(date +%s)
benchmark_src=$(unpack benchmark)
upstream=${benchmark_src##*_}
# Debian's package takes its version from the command line instead of git.
build "$benchmark_src" benchmark -DGIT_VERSION="${upstream%-*}" -DBUILD_SHARED_LIBS=OFF -DBENCHMARK_ENABLE_TESTING=OFF \
  -DBENCHMARK_ENABLE_GTEST_TESTS=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_LTO=OFF
build "$(unpack libjpeg-turbo)" libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF -DCMAKE_ASM_NASM_COMPILER=nasm
mkdir -p "$prefix/include/stb"
cp /usr/include/stb/stb_image.h "$prefix/include/stb/"
echo "bench deps for $arch built in $(($(date +%s) - start)) s into $prefix"
touch "$stamp"
