#!/usr/bin/env bash
# Peak resident memory of `kavrosa-tool decode` on photographs in the platform's formats, shown
# at 1920x1080: a 48-megapixel HEIC (8000x6000, decoded whole by libheif, then reduced) and a
# 12-megapixel PNG (4000x3000, fed row by row to the resampler), interlaced and not, and a
# 12-megapixel TIFF in strips. Usage: tools/measure-codec-memory.sh [build/kavrosa-tool]
set -euo pipefail
tool=${1:-build/kavrosa-tool}
magick=/usr/bin/convert
[ -x "$magick" ] || magick=convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$magick" -seed 3 -size 4000x3000 plasma:fractal -depth 8 "$tmp/12mp.ppm"
"$magick" "$tmp/12mp.ppm" PNG24:"$tmp/12mp.png"
"$magick" "$tmp/12mp.ppm" -interlace PNG PNG24:"$tmp/12mp-interlaced.png"
"$magick" "$tmp/12mp.ppm" -compress lzw -define tiff:rows-per-strip=16 "$tmp/12mp.tif"
"$magick" "$tmp/12mp.ppm" -resize 8000x6000! PNG24:"$tmp/48mp.png"
heif-enc -q 80 "$tmp/48mp.png" -o "$tmp/48mp.heic" >/dev/null
for file in 48mp.heic 12mp.png 12mp-interlaced.png 12mp.tif; do
  for fit in "" "--fit 1920x1080"; do
    # shellcheck disable=SC2086
    kb=$(/usr/bin/time -f %M "$tool" decode "$tmp/$file" "$tmp/out.bmp" $fit 2>&1 >/dev/null)
    printf '%-20s %-16s peak RSS %7d KiB  (%s)\n' "$file" "${fit:-whole}" "$kb" \
      "$(file -b "$tmp/out.bmp" | grep -o '[0-9]* x [0-9]*' | head -1)"
  done
done
