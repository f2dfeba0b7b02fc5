#!/usr/bin/env bash
# Installs everything the build, the tests and the run need on a fresh Debian 12 (as root).
# Quick when all is already there: it only asks apt for what is missing.
#
# A mirror that is syncing can serve one index inconsistently; apt-get update then fails although
# every other index is usable. So update is retried a few times and then the install goes on with
# a warning; a package that still cannot be installed is named with apt's reason.
set -euo pipefail

need_native=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format python3 pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev libjpeg-dev libjpeg-turbo-progs
  libstb-dev imagemagick xvfb xdotool x11-utils libx11-dev libxext-dev libxrandr-dev xscreensaver
  libheif-dev libwebp-dev libpng-dev libtiff-dev libgif-dev libheif-examples webp
  libimage-exiftool-perl fuse python3-fusepy lintian ccache)
need_win=(mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine32:i386 wine64 fonts-ipafont-gothic
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils nasm dpkg-dev nsis zip)

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

updated=0
for attempt in 1 2 3 4; do
  if apt-get update -qq; then updated=1; break; fi
  echo "install-deps: apt-get update failed (attempt $attempt of 4)" >&2
  [ "$attempt" -lt 4 ] && sleep $((attempt * 10))
done
[ "$updated" -eq 1 ] ||
  echo "install-deps: warning: some package index could not be read; going on with what was read" >&2

apt_install() { apt-get install -y -qq --no-install-recommends "$@" >/dev/null 2>&1; }
apt_install "${missing[@]}" && exit 0

# When the security index of one architecture could not be read, a Multi-Arch package (the
# i386 libraries under wine32) finds no version matching its amd64 twin. The main suite has
# both at one version: prefer it for this install, downgrades allowed.
if [ "$updated" -eq 0 ]; then
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  pref=$(mktemp)
  printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$suite" >"$pref"
  echo "install-deps: retrying with the $suite suite preferred over its updates" >&2
  apt_install -o Dir::Etc::Preferences="$pref" --allow-downgrades "${missing[@]}" && { rm -f "$pref"; exit 0; }
  rm -f "$pref"
fi

# One at a time, so the ones that can be installed are, and each one that cannot is named.
failed=0
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' && continue
  if ! why=$(apt-get install -y -qq --no-install-recommends "$p" 2>&1 >/dev/null); then
    echo "install-deps: cannot install $p: $(printf '%s\n' "$why" | grep -E '^E:' | head -n 2 | tr '\n' ' ')" >&2
    failed=1
  fi
done
exit $failed
