#!/usr/bin/env bash
# The settings file on a full file system (a tiny tmpfs, filled): when kavrosa records its
# picture at SIGTERM the write fails, the old file keeps every byte, no temporary file is left
# beside it, and stderr names the file and the reason. Mounting needs root: skipped without.
#   full_disk_test.sh KAVROSA
set -uo pipefail
source "$(dirname "$0")/xtest-lib.sh"
kavrosa=$1
[ "$(id -u)" -eq 0 ] || skip "mounting a tmpfs needs root"
full=$xtest_work/full
mkdir "$full"
mount -t tmpfs -o size=64k,mode=0755 kavrosa-full "$full" || skip "cannot mount a tmpfs"
trap 'umount "$full"; xtest_cleanup' EXIT
start_xvfb 320x240

mkdir "$full/kavrosa"
# "NO= 5" is read as 5; a rewrite would store "NO=5", so any write at all shows.
printf '[Image]\r\nNO= 5\r\n' >"$full/kavrosa/kavrosa.ini"
old=$(od -c "$full/kavrosa/kavrosa.ini")
dd if=/dev/zero of="$full/filler" bs=4k >/dev/null 2>&1
XDG_CONFIG_HOME=$full "$kavrosa" 2>"$xtest_work/stderr" &
pid=$!
xtest_pids+=("$pid")
sleep 2
kill -TERM "$pid"
wait_for_exit "$pid" 5 || fail "SIGTERM did not end it with 0"
cat "$xtest_work/stderr"
[ "$(od -c "$full/kavrosa/kavrosa.ini")" = "$old" ] || fail "the settings file changed"
[ "$(ls -A "$full/kavrosa")" = kavrosa.ini ] || fail "left beside it: $(ls -A "$full/kavrosa")"
grep -q "not saved in $full/kavrosa/kavrosa.ini (No space left on device)" "$xtest_work/stderr" ||
  fail "stderr does not name the failed write"
echo "full file system: the old settings kept, the failure named on stderr"
