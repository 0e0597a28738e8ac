#!/usr/bin/env bash
# Creates the Wine prefix DIR once: 32-bit, Czech locale, and one shared virtual desktop
# with a taskbar and notification area for every process of the prefix.
set -u
export WINEPREFIX=$(realpath -m "$1")
export WINEARCH=win32 WINEDEBUG=-all LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.evesk-ready-2" ] && exit 0
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || { echo "wine-prefix: wineboot failed" >&2; exit 1; }
wineserver -w
# The window's font (MS Sans Serif, East European cut) and the title-bar glyphs come with
# Wine's own font package; a prefix only uses the fonts in its Windows font folder.
cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
# Focus marks only after keyboard use, as Windows has it unless the reader asks otherwise
# (a new Wine prefix shows them always).
wine reg add 'HKCU\Control Panel\Desktop' /v UserPreferencesMask /t REG_BINARY /d 1000028012000000 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1000x700 /f >/dev/null 2>&1
# Browser launches are recorded, never sent to a real browser.
mkdir -p "$WINEPREFIX/evesk"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$(dirname "$0" | xargs realpath)/record-browser.sh" /f >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.evesk-ready-2"
