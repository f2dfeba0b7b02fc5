#!/usr/bin/env bash
# A measurement, not a test: a library of PHOTOS photographs (default 1,000,000 hard links in
# 1,000 folders) on the local disk: the time from the show's start to its first photograph and
# the process's peak memory (kavrosa-tool frames, cold), and, where the tool has it, the whole
# walk's time and peak memory (kavrosa-tool index). Remove the library afterwards:
#   tools/measure-library-size.sh [build/kavrosa-tool] [PHOTOS] [FOLDERS]
#   rm -rf /tmp/kavrosa-library/library-1000000-1000
set -euo pipefail
tool=$(realpath "${1:-build/kavrosa-tool}")
photos=${2:-1000000}
folders=${3:-1000}
here=$(cd "$(dirname "$0")" && pwd)
base=${KAVROSA_LIBRARY_DIR:-/tmp/kavrosa-library}
library=$base/library-$photos-$folders
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/library-lib.sh"
make_library

printf '[Image]\r\nFolder=%s\r\n' "$library" > "$work/k.ini"
echo "$photos photographs in $folders folders on the local disk"
printf '%-28s ' "frames, cold, first photo:"
XDG_CACHE_HOME=$work/cache /usr/bin/time -f 'peak %M KiB' "$tool" frames --settings "$work/k.ini" \
  --size 1280x720 --folder-wait 600000 --time-first yes --ticks 1:1 --out "$work/frames" 2>&1 |
  grep -E 'first|peak' | tr '\n' ' '
echo
if case $("$tool" 2>&1 || true) in *"kavrosa-tool index"*) true ;; *) false ;; esac; then
  printf '%-28s ' "index, the whole walk:"
  XDG_CACHE_HOME=$work/cache /usr/bin/time -f 'peak %M KiB' "$tool" index "$library" 2>&1 | tr '\n' ' '
  echo
fi
