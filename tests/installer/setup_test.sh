#!/usr/bin/env bash
# kavrosa-setup.exe /S in a fresh 64-bit and a fresh 32-bit Wine prefix: the matching module in
# the system folder (byte for byte the one in the zip), the user's saver set in the registry,
# the uninstaller listed; the installed saver runs with /s (a screenshot when
# KAVROSA_SCREENSHOT_DIR is set) and closes on a key; the uninstaller /S leaves nothing behind.
#   setup_test.sh SETUP_EXE MODULES_DIR     (MODULES_DIR holds 32-bit/ and 64-bit/kavrosa.scr)
set -uo pipefail
setup=$1 modules=$2
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY"; exit 1; }
if ! command -v wine >/dev/null || ! dpkg -s wine32:i386 >/dev/null 2>&1; then
  echo "skipped: the installer is a 32-bit program and wine32 is not installed"
  exit 77
fi
work=$(mktemp -d /tmp/kavrosa-setup-XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failures=0
fail() { echo "FAIL ($arch): $*"; failures=$((failures + 1)); }
cleanup() { for p in "$work"/*/; do WINEPREFIX=$p wineserver -k 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT

reg_value() {  # key value: the data of a registry value (the system's own view), "" when missing
  wine reg query "$1" /v "$2" $view 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^  /, ""); print }'
}
wait_gone() {  # path: true once nothing is at the path (bounded)
  for _ in $(seq 100); do [ -e "$1" ] || return 0; sleep 0.3; done
  return 1
}

for arch in win64 win32; do
  export WINEPREFIX=$work/$arch WINEARCH=$arch
  wineboot -i >/dev/null 2>&1
  wineserver -w
  c=$WINEPREFIX/drive_c
  system=$c/windows/system32
  # `wine` is the 32-bit loader, whose view of system32 is syswow64: the 64-bit module is
  # started by the 64-bit loader, as the 64-bit system starts it.
  want=$modules/64-bit/kavrosa.scr view=/reg:64 loader=/usr/lib/wine/wine64
  [ -x $loader ] || loader=wine
  [ $arch = win32 ] && want=$modules/32-bit/kavrosa.scr view="" loader=wine
  find "$c" -type f | sort >"$work/$arch-before.txt"

  timeout 120 wine "$setup" /S || fail "setup /S exited with $?"
  wineserver -w
  cmp -s "$system/kavrosa.scr" "$want" || fail "system32/kavrosa.scr is not the $arch module"
  [ -e "$c/windows/syswow64/kavrosa.scr" ] && fail "a module in syswow64 as well"
  saver=$(reg_value 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE)
  [ "${saver,,}" = 'c:\windows\system32\kavrosa.scr' ] || fail "SCRNSAVE.EXE is '$saver'"
  [ "$(reg_value 'HKCU\Control Panel\Desktop' ScreenSaveActive)" = 1 ] ||
    fail "ScreenSaveActive is not 1"
  key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrosa'
  uninstall=$(reg_value "$key" UninstallString)
  echo "$arch: SCRNSAVE.EXE=$saver UninstallString=$uninstall"
  [ "$(reg_value "$key" DisplayName)" = Kavrosa ] || fail "no Kavrosa in the list of programs"

  # The installed saver, as Windows starts it.
  $loader 'C:\windows\system32\kavrosa.scr' /s &
  pid=$!
  colours=0
  for _ in $(seq 30); do  # Wine's start and the first dissolve take a few seconds
    sleep 1
    colours=$(import -window root -format '%k' info: 2>/dev/null || echo 0)
    [ "${colours:-0}" -gt 1000 ] && break
  done
  [ "${colours:-0}" -gt 1000 ] || fail "the screen shows $colours colours: no picture"
  sleep 2  # the dissolve-in ends
  if [ -n "${KAVROSA_SCREENSHOT_DIR:-}" ]; then
    import -window root "$KAVROSA_SCREENSHOT_DIR/installed-saver-$arch.png"
  fi
  xdotool key space
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
  kill -0 $pid 2>/dev/null && { fail "the saver did not close on a key"; kill $pid; }
  wineserver -w
  [ -f "$system/kavrosa.INI" ] || fail "the saver kept no settings beside itself"

  unquoted=${uninstall//\"/}
  timeout 120 wine "$unquoted" /S || fail "uninstall /S exited with $?"
  # The uninstaller goes on from a copy of itself in the temporary folder.
  for f in "$system/kavrosa.scr" "$system/kavrosa.INI" "$(winepath -u "$unquoted")"; do
    wait_gone "$f" || fail "left behind: $f"
  done
  wineserver -w
  [ -n "$(reg_value "$key" UninstallString)" ] && fail "the uninstaller is still listed"
  [ -n "$(reg_value 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE)" ] && fail "SCRNSAVE.EXE left"
  wineserver -w
  find "$c" -type f | sort >"$work/$arch-after.txt"
  left=$(comm -13 "$work/$arch-before.txt" "$work/$arch-after.txt" | grep -i -e kavrosa -e '/ns[a-z][0-9a-f]*\.tmp')
  [ -z "$left" ] || fail "files left behind: $left"
  [ -d "$c/Program Files/Kavrosa" ] && fail "the Kavrosa folder is left"
  grep -il kavrosa "$WINEPREFIX"/*.reg && fail "the registry still names Kavrosa"
  wineserver -k 2>/dev/null
done
echo "installer test: $failures failures"
[ $failures -eq 0 ]
