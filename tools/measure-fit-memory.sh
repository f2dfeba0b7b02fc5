#!/usr/bin/env bash
# Peak resident memory of `kavrosa-tool decode` on a 4000x3000 photograph, whole and fitted to
# 1920x1080, baseline and progressive. Usage: tools/measure-fit-memory.sh [build/kavrosa-tool]
set -euo pipefail
tool=${1:-build/kavrosa-tool}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -seed 3 -size 4000x3000 plasma:fractal "$tmp/big.ppm"
cjpeg -quality 90 -sample 2x2 -outfile "$tmp/baseline.jpg" "$tmp/big.ppm"
jpegtran -progressive -outfile "$tmp/progressive.jpg" "$tmp/baseline.jpg"
for kind in baseline progressive; do
  for fit in "" "--fit 1920x1080"; do
    # shellcheck disable=SC2086
    kb=$(/usr/bin/time -f %M "$tool" decode "$tmp/$kind.jpg" "$tmp/out.bmp" $fit 2>&1 >/dev/null)
    printf '%-12s %-16s peak RSS %6d KiB  (%s)\n' "$kind" "${fit:-whole}" "$kb" \
      "$(file -b "$tmp/out.bmp" | grep -o '[0-9]* x [0-9]*' | head -1)"
  done
done
