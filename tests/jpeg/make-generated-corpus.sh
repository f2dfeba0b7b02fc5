#!/usr/bin/env bash
# Makes the corpus the native jpeg tests compare against at build time (nothing of it is
# committed): cjpeg baseline files over every layout with 1x1 chroma and greyscale, restart
# intervals on and off; their progressive twins from jpegtran (the default script and one
# with successive approximation of DC and AC) and the twins turned back to baseline; jpegtran's
# lossless turns and mirrors of one picture for the orientation tests; a 4000x3000 photograph.
# Usage: make-generated-corpus.sh OUTDIR. Writes OUTDIR/manifest.txt last.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"
rm -f manifest.txt
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
list=$tmp/manifest

convert rose: -filter Lanczos -resize '101x77!' "$tmp/rose.ppm"
convert -seed 11 -size 67x45 plasma:fractal "$tmp/plasma.ppm"
convert rose: -filter Lanczos -resize '96x64!' "$tmp/turn.ppm"

for src in rose plasma; do
  for layout in 1x1 2x1 2x2 1x2 4x1 grey; do
    for restart in 0 1; do
      name=${src}_${layout}_r${restart}
      opts=(-quality 85)
      if [ "$layout" = grey ]; then opts+=(-grayscale); else opts+=(-sample "$layout"); fi
      [ "$restart" = 1 ] && opts+=(-restart 1)
      cjpeg -baseline "${opts[@]}" -outfile "$name.jpg" "$tmp/$src.ppm"
      jpegtran -progressive -outfile "${name}_prog.jpg" "$name.jpg"
      jpegtran -outfile "${name}_back.jpg" "${name}_prog.jpg"
      echo "baseline $name.jpg" >>"$list"
      echo "twin ${name}_prog.jpg $name.jpg" >>"$list"
      echo "twin ${name}_back.jpg $name.jpg" >>"$list"
      if [ "$layout" = grey ]; then script=scans-grey.txt; else script=scans.txt; fi
      jpegtran -scans "$here/data/$script" -restart 3B -outfile "${name}_scans.jpg" "$name.jpg"
      echo "twin ${name}_scans.jpg $name.jpg" >>"$list"
    done
  done
done

# Orientation: Exif value N against jpegtran's turn or mirror that shows it upright.
cjpeg -baseline -quality 90 -sample 2x2 -outfile turn.jpg "$tmp/turn.ppm"
n=2
for t in "-flip horizontal" "-rotate 180" "-flip vertical" "-transpose" "-rotate 90" \
  "-transverse" "-rotate 270"; do
  # shellcheck disable=SC2086
  jpegtran $t -outfile "turn_$n.jpg" turn.jpg
  echo "orient $n turn_$n.jpg turn.jpg" >>"$list"
  n=$((n + 1))
done

convert -seed 3 -size 4000x3000 plasma:fractal "$tmp/big.ppm"
cjpeg -quality 90 -sample 2x2 -outfile big.jpg "$tmp/big.ppm"
jpegtran -progressive -outfile big_prog.jpg big.jpg
echo "big big.jpg" >>"$list"
echo "big big_prog.jpg" >>"$list"

mv "$list" manifest.txt
