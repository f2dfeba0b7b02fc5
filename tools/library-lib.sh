# Sourced by the library measurements: make_library makes $photos hard links in $folders folders
# at $library (kept for later runs), from 2400x1600 JPEGs of about 800 KB made once in $base.
make_library() {
  mkdir -p "$base"
  local i sources=()
  for i in $(seq 1 $(((photos + 59999) / 60000))); do
    if [ ! -f "$base/src$i.jpg" ]; then
      convert -seed "$i" -size 2400x1600 plasma:fractal "$base/src.ppm"
      cjpeg -quality 90 -outfile "$base/src$i.jpg" "$base/src.ppm"
      rm -f "$base/src.ppm"
    fi
    sources+=("$base/src$i.jpg")
  done
  if [ ! -d "$library" ]; then
    /usr/bin/python3 "$here/make-library.py" "$library" "$photos" "$folders" "${sources[@]}"
  fi
}
