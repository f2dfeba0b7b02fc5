#!/usr/bin/env bash
# The saver installed where its user cannot write (a folder owned by root, run as an ordinary
# user with a Wine prefix of its own): the dialog's OK keeps the settings in the user's
# %APPDATA%\Kavrosa, carried over from the file beside the module, and the saver reads them
# back and records its picture there. Root is needed to make the user; skipped (77) without.
#   per_user_settings_test.sh HOST_TESTS_EXE KAVROSA_SCR WINE_RUN
set -uo pipefail
tests_exe=$1 scr=$2 wine_run=$3
user=kavrosa-settings
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to run as another user"; exit 77; }
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY"; exit 1; }
id "$user" >/dev/null 2>&1 ||
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user" || exit 1
work=$(mktemp -d /tmp/kavrosa-per-user-XXXXXX)
chmod 755 "$work"
cleanup() {
  runuser -u "$user" -- env WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
  xhost -si:localuser:"$user" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
xhost +si:localuser:"$user" >/dev/null || exit 1

mkdir "$work/module" "$work/bin" "$work/home" "$work/prefix"
cp "$scr" "$work/module/kavrosa.scr"
printf '[Config]\r\n\x95\x5c\x8e\xa6\x8a\xd4\x8a\x75=45\r\n' >"$work/module/kavrosa.INI"
chmod 755 "$work/module" && chmod 644 "$work/module/kavrosa.INI"
cp "$tests_exe" "$work/bin/"
chown "$user" "$work/home" "$work/prefix"
before=$(sha256sum <"$work/module/kavrosa.INI")

out=$(runuser -u "$user" -- env DISPLAY="$DISPLAY" HOME="$work/home" WINEPREFIX="$work/prefix" \
  LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 KAVROSA_READONLY_MODULE_DIR="Z:${work//\//\\}\\module" \
  bash "$wine_run" "$work/bin/$(basename "$tests_exe")" --gtest_brief=1 \
  --gtest_filter=SettingsPlace.ReadOnlyModuleFolderKeepsSettingsPerUser 2>&1)
echo "$out" | grep -av "^wine: Read access denied"
own="$work/prefix/drive_c/users/$user/AppData/Roaming/Kavrosa/kavrosa.INI"
ok=0
echo "$out" | grep -aq "PASSED  \] 1 test" || { echo "FAIL: the per-user test did not pass"; ok=1; }
[ -f "$own" ] && echo "kept in $own:" && tr -d '\r' <"$own" | iconv -f CP932 -t UTF-8 ||
  { echo "FAIL: no per-user settings file"; ok=1; }
[ "$(sha256sum <"$work/module/kavrosa.INI")" = "$before" ] ||
  { echo "FAIL: the file beside the module changed"; ok=1; }
exit $ok
