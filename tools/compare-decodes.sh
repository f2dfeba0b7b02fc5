#!/usr/bin/env bash
# Two builds of kavrosa-tool must decode alike: every JPEG of the test corpora, the embedded
# pictures, the fuzzer seeds and the generated corpus, at full size and fitted to three screens,
# with cmp on the BMP files and on what each prints (so refusals must match too).
#   tools/compare-decodes.sh OLD/kavrosa-tool NEW/kavrosa-tool [GENERATED_DIR]
# GENERATED_DIR defaults to build/tests/jpeg/generated (made by the native jpeg tests' build, or
# by tests/jpeg/make-generated-corpus.sh DIR). Prints each decode that differs; exits 1 if any.
set -uo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
cd "$(dirname "$0")/.."
generated=${3:-build/tests/jpeg/generated}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
count=0
differ=0
for f in tests/jpeg/data/*.jpg tests/pictures/data/*.jpg resources/pictures/*.jpg \
  tests/jpeg/crashers/* fuzz/corpus/jpeg/* "$generated"/*.jpg; do
  [ -f "$f" ] || continue
  for fit in "" 1920x1080 640x480 160x120; do
    args=()
    [ -n "$fit" ] && args=(--fit "$fit")
    "$old" decode "$f" "$tmp/old.bmp" "${args[@]}" >"$tmp/old.txt" 2>&1
    echo "exit $?" >>"$tmp/old.txt"
    "$new" decode "$f" "$tmp/new.bmp" "${args[@]}" >"$tmp/new.txt" 2>&1
    echo "exit $?" >>"$tmp/new.txt"
    count=$((count + 1))
    same=1
    cmp -s "$tmp/old.txt" "$tmp/new.txt" || same=0
    if [ -f "$tmp/old.bmp" ] || [ -f "$tmp/new.bmp" ]; then
      cmp -s "$tmp/old.bmp" "$tmp/new.bmp" 2>/dev/null || same=0
    fi
    if [ $same = 0 ]; then
      echo "differs: $f ${fit:-full size}"
      differ=$((differ + 1))
    fi
    rm -f "$tmp/old.bmp" "$tmp/new.bmp"
  done
done
echo "$count decodes compared, $differ differ"
[ $differ = 0 ]
