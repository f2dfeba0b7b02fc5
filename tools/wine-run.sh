#!/usr/bin/env bash
# Runs a Windows executable under Wine with a private prefix, for CTest and the scripts.
# Needs a DISPLAY (test.sh and run.sh start Xvfb).
set -u
export WINEPREFIX="${WINEPREFIX:-${KAVROSA_WINEPREFIX:-$HOME/.kavrosa-wine}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
fi
exec wine "$@"
