#!/usr/bin/env bash
# Installs everything the build, the tests and the run need on a fresh Debian 12 (as root).
# Quick when all is already there: it only asks apt for what is missing.
set -euo pipefail

need_native=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format python3 pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev libjpeg-dev libjpeg-turbo-progs
  libstb-dev imagemagick xvfb xdotool x11-utils libx11-dev libxext-dev libxrandr-dev xscreensaver)
need_win=(mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine32:i386 wine64 fonts-ipafont-gothic
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils nasm dpkg-dev)

missing=()
for p in "${need_native[@]}" "${need_win[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
