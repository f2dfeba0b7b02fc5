#!/usr/bin/env bash
# kavrosa under the real xscreensaver daemon, as its one program: activation shows the picture
# (the frames tool's held frame, byte for byte, once the fade-in is over), deactivation ends
# kavrosa, and nothing is left running. The daemon never launches programs
# for root, so it runs as an ordinary user (made when missing, which needs root) on an Xvfb that
# lets that user in (-ac).
#   xscreensaver_test.sh KAVROSA KAVROSA-TOOL HELPER
set -uo pipefail
source "$(dirname "$0")/xtest-lib.sh"
kavrosa=$1 tool=$2 helper=$3
user=${KAVROSA_XTEST_USER:-kavrosa-test}
command -v xscreensaver >/dev/null || skip "xscreensaver is not installed"
if ! id "$user" >/dev/null 2>&1; then
  [ "$(id -u)" -eq 0 ] || skip "no user $user, and only root can make one"
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user" || fail "useradd failed"
fi
if [ "$(id -u)" -eq 0 ]; then
  as_user() { runuser -u "$user" -- "$@"; }
else
  [ "$(id -un)" = "$user" ] || skip "run as root or as $user"
  as_user() { "$@"; }
fi
start_xvfb 640x480 -ac
w=$xtest_work
home="$w/home"
mkdir -p "$home"
cp "$kavrosa" "$w/kavrosa"  # where the user can surely read and run it
chmod 755 "$w" "$w/kavrosa"
cat >"$home/.xscreensaver" <<EOT
mode: one
selected: 0
lock: False
splash: False
timeout: 0:30:00
fade: False
unfade: False
programs: "Kavrosa" $w/kavrosa -root \n
EOT
chown -R "$user" "$home"

as_user env DISPLAY="$DISPLAY" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
  xscreensaver -no-splash >"$w/daemon.log" 2>&1 &
daemon=$!
xtest_pids+=("$daemon")
# A busy machine (sanitizer builds, parallel tests) may take a while to bring the daemon up.
answering=""
for _ in $(seq 300); do
  if as_user env DISPLAY="$DISPLAY" HOME="$home" xscreensaver-command -version >/dev/null 2>&1
  then
    answering=yes
    break
  fi
  sleep 0.1
done
[ -n "$answering" ] || { cat "$w/daemon.log"; echo "skipped: the xscreensaver daemon did not answer within 30 s"; exit 77; }
as_user env DISPLAY="$DISPLAY" HOME="$home" xscreensaver-command -activate >/dev/null ||
  fail "activate refused"

hack=""
for _ in $(seq 150); do
  hack=$(pgrep -u "$user" -f "$w/kavrosa" | head -n 1)
  [ -n "$hack" ] && break
  sleep 0.1
done
[ -n "$hack" ] || { cat "$w/daemon.log"; fail "the daemon did not start kavrosa"; }
centre=000000
for _ in $(seq 100); do
  centre=$("$helper" centre root)
  [ "$centre" != 000000 ] && break
  sleep 0.1
done
[ "$centre" != 000000 ] || fail "the screen stayed black after activation"
echo "activated: kavrosa (pid $hack) shows the picture, centre pixel #$centre"
reference_frames "$tool" "$w/none.ini" 640x480 100 100 "$w/ref"
sleep 2.5
"$helper" grab root "$w/activated.bmp"
cmp -s "$w/activated.bmp" "$w/ref/tick-00100.bmp" || fail "the held picture is not the tool's"
echo "held: the frames tool's tick 100, byte for byte"

as_user env DISPLAY="$DISPLAY" HOME="$home" xscreensaver-command -deactivate >/dev/null
for _ in $(seq 100); do kill -0 "$hack" 2>/dev/null || break; sleep 0.1; done
kill -0 "$hack" 2>/dev/null && fail "kavrosa still runs after -deactivate"
echo "deactivated: kavrosa ended"
grep -q '^NO=' "$home/.config/kavrosa/kavrosa.ini" || fail "the picture was not recorded"

as_user env DISPLAY="$DISPLAY" HOME="$home" xscreensaver-command -exit >/dev/null
wait_for_exit "$daemon" 10 >/dev/null
for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.1; done
left=$(pgrep -u "$user" -a)
[ -z "$left" ] || fail "left running: $left"
echo "nothing of $user left running"
echo PASS
