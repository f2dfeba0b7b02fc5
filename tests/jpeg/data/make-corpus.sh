#!/usr/bin/env bash
# Remakes the cjpeg corpus: small baseline pictures over the layouts, restart intervals,
# Huffman options, qualities and odd sizes the decoder accepts. Sources are ImageMagick's
# built-in photograph (rose:) and a fractal plasma, both seeded so the files are stable.
# Afterwards run the jpeg tests with KAVROSA_WRITE_HASHES=1 to refresh expected-hashes.txt.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

source_ppm() {  # name, WxH
  local name=$1 size=$2
  case $name in
    rose) convert rose: -filter Lanczos -resize "$size!" "$tmp/src.ppm" ;;
    plasma) convert -seed 7 -size "$size" plasma:fractal "$tmp/src.ppm" ;;
  esac
}

make() {  # output name, source, WxH, cjpeg options...
  local out=$1 src=$2 size=$3
  shift 3
  source_ppm "$src" "$size"
  cjpeg -baseline "$@" -outfile "$out" "$tmp/src.ppm"
}

# Sampling layouts.
make rose_64x48_s1x1_q75.jpg rose 64x48 -sample 1x1 -quality 75
make rose_64x48_s2x1_q75.jpg rose 64x48 -sample 2x1 -quality 75
make rose_64x48_s2x2_q75.jpg rose 64x48 -sample 2x2 -quality 75
# Restart intervals: one MCU row, odd MCU counts, none.
make rose_101x77_s1x1_q85_row.jpg rose 101x77 -sample 1x1 -quality 85 -restart 1
make rose_101x77_s1x1_q85_r3.jpg rose 101x77 -sample 1x1 -quality 85 -restart 3B
make rose_101x77_s2x2_q85_r5.jpg rose 101x77 -sample 2x2 -quality 85 -restart 5B
make rose_101x77_s2x1_q85_r1.jpg rose 101x77 -sample 2x1 -quality 85 -restart 1B
make plasma_97x61_s2x2_q80_row.jpg plasma 97x61 -sample 2x2 -quality 80 -restart 1
# Optimised Huffman tables.
make rose_101x77_s1x1_q90_opt.jpg rose 101x77 -sample 1x1 -quality 90 -optimize
make plasma_97x61_s2x1_q70_opt_r7.jpg plasma 97x61 -sample 2x1 -quality 70 -optimize -restart 7B
# Qualities 50 to 95.
for q in 50 60 70 80 95; do
  make "plasma_65x47_s1x1_q${q}_row.jpg" plasma 65x47 -sample 1x1 -quality "$q" -restart 1
done
# Odd sizes down to 1x1.
make rose_1x1_s1x1_q75.jpg rose 1x1 -sample 1x1 -quality 75
make rose_1x1_s2x1_q75.jpg rose 1x1 -sample 2x1 -quality 75
make rose_1x1_s2x2_q75.jpg rose 1x1 -sample 2x2 -quality 75
# 1x1 frames over a whole MCU of detail (an encoder may code anything past the edge): the
# pixel is the full transform's, which a reduced one would miss.
one_pixel() {  # output name, sampling, MCU WxH
  make "$tmp/mcu.jpg" rose "$3" -sample "$2" -quality 85
  python3 - "$tmp/mcu.jpg" "$1" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
sof = data.find(b'\xff\xc0')
data[sof + 5:sof + 9] = b'\x00\x01\x00\x01'  # height 1, width 1
open(sys.argv[2], 'wb').write(data)
PY
}
one_pixel rose_1x1_s1x1_mcu.jpg 1x1 8x8
one_pixel rose_1x1_s2x1_mcu.jpg 2x1 16x8
one_pixel rose_1x1_s2x2_mcu.jpg 2x2 16x16
make rose_2x3_s2x1_q75.jpg rose 2x3 -sample 2x1 -quality 75
make rose_7x5_s1x1_q75_r1.jpg rose 7x5 -sample 1x1 -quality 75 -restart 1B
make rose_17x9_s2x2_q95.jpg rose 17x9 -sample 2x2 -quality 95
make plasma_33x31_s1x1_q60_opt.jpg plasma 33x31 -sample 1x1 -quality 60 -optimize
make plasma_9x17_s2x1_q90_r2.jpg plasma 9x17 -sample 2x1 -quality 90 -restart 2B
# Greyscale, the other luminance layouts, and progressive files (jpegtran's default script,
# and one with successive approximation and restarts), whose bytes must equal their twins'.
make rose_33x21_grey_q80.jpg rose 33x21 -grayscale -quality 80
make rose_41x27_s1x2_q80_r1.jpg rose 41x27 -sample 1x2 -quality 80 -restart 1
make plasma_45x29_s4x1_q80.jpg plasma 45x29 -sample 4x1 -quality 80
make plasma_45x29_s4x2_q80_r2.jpg plasma 45x29 -sample 4x2 -quality 80 -restart 2B
jpegtran -progressive -outfile rose_41x27_s1x2_q80_r1_prog.jpg rose_41x27_s1x2_q80_r1.jpg
jpegtran -progressive -outfile rose_33x21_grey_q80_prog.jpg rose_33x21_grey_q80.jpg
jpegtran -scans scans.txt -restart 2B -outfile plasma_45x29_s4x1_q80_scans.jpg \
  plasma_45x29_s4x1_q80.jpg
jpegtran -scans scans.txt -outfile rose_17x9_s2x2_q95_scans.jpg rose_17x9_s2x2_q95.jpg
# A sequential frame in two scans (luminance, then both chroma components).
make rose_41x27_s2x1_q80_seq.jpg rose 41x27 -sample 2x1 -quality 80 -scans sequential-scans.txt
make rose_41x27_s2x1_q80.jpg rose 41x27 -sample 2x1 -quality 80
