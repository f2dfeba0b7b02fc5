#!/usr/bin/env bash
# Makes the Wine prefix show the dialog's Japanese texts: the dialog asks for "ＭＳ Ｐゴシック",
# which Wine does not have, so it is substituted by IPA P Gothic (fonts-ipafont-gothic). The
# registry file is written as UTF-16 because the font name is not ASCII.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-${KAVROSA_WINEPREFIX:-$HOME/.kavrosa-wine}}"
export WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
fi
grep -q 'IPAPGothic' "$WINEPREFIX/system.reg" 2>/dev/null && exit 0
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
  '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' \
  '"MS PGothic"="IPAPGothic"' '"MS UI Gothic"="IPAPGothic"' '' |
  iconv -f UTF-8 -t UTF-16 >"$reg"
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true
