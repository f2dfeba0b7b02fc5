#!/usr/bin/env bash
# kavrosa -root on Xvfb 640x480 shows exactly the frames tool's frames: every screenshot taken
# during the fade-in is one of the tool's frames of that period, the held picture is the tool's
# hold frame byte for byte, with -fit (and without shared memory) too; SIGTERM ends it at once
# with exit 0 and records the picture on screen in a settings file it had to create; settings
# that cannot be read or written leave the default show running.
#   root_frames_test.sh KAVROSA KAVROSA-TOOL HELPER
set -uo pipefail
source "$(dirname "$0")/xtest-lib.sh"
kavrosa=$1 tool=$2 helper=$3
start_xvfb 640x480
w=$xtest_work
export XDG_CACHE_HOME="$w/cache"  # library indexes stay in the test's folder

reference_frames "$tool" "$w/none.ini" 640x480 0 35 "$w/ref"
reference_frames "$tool" "$w/none.ini" 640x480 100 100 "$w/hold"
declare -A frame_of
for f in "$w"/ref/tick-*.bmp; do
  sum=$(md5sum <"$f" | cut -d' ' -f1)
  frame_of[$sum]=${frame_of[$sum]:-$(basename "$f" .bmp)}
done

XDG_CONFIG_HOME="$w/config" "$kavrosa" -root &
pid=$!
xtest_pids+=("$pid")
start=$(now_ms)
i=0
while (($(now_ms) - start < 2500)); do
  "$helper" grab root "$w/grab-$i.bmp" || fail "grab failed"
  i=$((i + 1))
done
seen=()
for ((k = 0; k < i; k++)); do
  sum=$(md5sum <"$w/grab-$k.bmp" | cut -d' ' -f1)
  [ -n "${frame_of[$sum]:-}" ] || fail "screenshot $k during the fade-in is none of the tool's frames"
  seen+=("${frame_of[$sum]}")
done
distinct=$(printf '%s\n' "${seen[@]}" | sort -u | wc -l)
echo "fade-in: $i screenshots, $distinct distinct frames, each one of the tool's"
((distinct >= 4)) || fail "only $distinct distinct frames seen during the fade-in"

sleep 1.5
"$helper" grab root "$w/held.bmp"
cmp -s "$w/held.bmp" "$w/hold/tick-00100.bmp" || fail "held picture differs from the frames tool's"
echo "held picture: the frames tool's tick 100, byte for byte"

t0=$(now_ms)
kill -TERM "$pid"
wait_for_exit "$pid" 5
rc=$?
elapsed=$(($(now_ms) - t0))
echo "SIGTERM: exit $rc after $elapsed ms"
[ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
((elapsed < 2000)) || fail "SIGTERM took $elapsed ms"
grep -q '^NO=1' "$w/config/kavrosa/kavrosa.ini" || fail "picture 1 not recorded"

# -fit and -interval for this run only, through XPutImage.
printf '[Config]\r\nFitImage=1\r\n' >"$w/fit.ini"
reference_frames "$tool" "$w/fit.ini" 640x480 100 100 "$w/fit"
before=$(md5sum <"$w/config/kavrosa/kavrosa.ini")
KAVROSA_NO_SHM=1 XDG_CONFIG_HOME="$w/config" "$kavrosa" --root --fit --interval 20 &
pid=$!
xtest_pids+=("$pid")
sleep 3.5
"$helper" grab root "$w/fitted.bmp"
cmp -s "$w/fitted.bmp" "$w/fit/tick-00100.bmp" || fail "-fit picture differs from FitImage=1"
kill -INT "$pid"
wait_for_exit "$pid" 5 || fail "SIGINT did not end it with 0"
[ "$(md5sum <"$w/config/kavrosa/kavrosa.ini")" = "$before" ] || fail "options were written"
echo "-fit through XPutImage: FitImage=1's frame; the settings file unchanged"

# -folder and -shuffle: a folder holding one photograph, in a Japanese-named subfolder, shows it
# as the frames tool shows that folder; the settings file records it as File.
mkdir -p "$w/photos/夏"
cp "$(dirname "$0")/../../resources/pictures/picture05.jpg" "$w/photos/夏/海.jpg"
printf '[Image]\r\nFolder=%s\r\n' "$w/photos" >"$w/folder.ini"
reference_frames "$tool" "$w/folder.ini" 640x480 100 100 "$w/folder"
XDG_CONFIG_HOME="$w/config" "$kavrosa" -root -folder "$w/photos" --shuffle &
pid=$!
xtest_pids+=("$pid")
sleep 3.5
"$helper" grab root "$w/photo.bmp"
cmp -s "$w/photo.bmp" "$w/folder/tick-00100.bmp" || fail "-folder picture differs from Folder's"
cmp -s "$w/photo.bmp" "$w/hold/tick-00100.bmp" && fail "-folder showed an embedded picture"
kill -TERM "$pid"
wait_for_exit "$pid" 5 || fail "no clean exit with -folder"
grep -q '^File=%E5%A4%8F/%E6%B5%B7.jpg' "$w/config/kavrosa/kavrosa.ini" || fail "File not recorded"
echo "-folder: the folder's photograph as the frames tool shows it; File recorded"

# Settings that cannot be had never stop the show: a FIFO in the file's place (which would
# block a reader), and a configuration directory that cannot be made.
mkdir -p "$w/fifo/kavrosa"
mkfifo "$w/fifo/kavrosa/kavrosa.ini"
for config in "$w/fifo" "$w/held.bmp/below-a-file"; do
  XDG_CONFIG_HOME="$config" "$kavrosa" -root &
  pid=$!
  xtest_pids+=("$pid")
  sleep 3.5
  "$helper" grab root "$w/unset.bmp"
  cmp -s "$w/unset.bmp" "$w/hold/tick-00100.bmp" || fail "no default show with $config"
  kill -TERM "$pid"
  wait_for_exit "$pid" 5 || fail "no clean exit with $config"
done
[ -p "$w/fifo/kavrosa/kavrosa.ini" ] || fail "the FIFO was replaced"
echo "a FIFO as settings file, an unmakeable settings directory: the default show, exit 0"
echo PASS
