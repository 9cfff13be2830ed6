#!/usr/bin/env bash
# The Windows packages of a build folder, under Wine: the ZIP holds the programs, the help page,
# the examples and the read-me; the installer run silently (/S) puts them in the folder asked for
# with a Start menu entry, the programs import no DLL but the system's, the installed qvn1.exe
# (when the build has it) starts and shows its window on a virtual X server, the installed
# qvn-build.exe builds the example page as the build's own does, the installer puts it all back
# after the folder was deleted by hand, and the uninstaller run silently takes it all away again.
# Usage: tests/smoke/windows-package.sh BUILD_DIR   (WINEPREFIX set, as tools/build-windows.sh does)
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix of the build}"
wine=(env -u DISPLAY -u WAYLAND_DISPLAY wine)
fail() { echo "windows-package: $*" >&2; exit 1; }

zip=$(ls "$build"/Quorvane-*-win64.zip)
setup=$(ls "$build"/Quorvane-*-setup.exe)
top=$(basename "$zip" .zip)
gui=false
[ -f "$build/app/qvn1.exe" ] && gui=true

expected=(qvn-build.exe README-ja.txt examples/links-sjis.csv examples/template-sjis.html
          examples/links-utf8.csv examples/template-utf8.html)
$gui && expected+=(qvn1.exe help/qvn-help.html)
listing=$(unzip -Z1 "$zip")
for f in "${expected[@]}"; do
    grep -qx "$top/$f" <<<"$listing" || fail "$f is not in $(basename "$zip")"
done

# A folder whose name holds Japanese. (The installer takes /D= unquoted, as the last argument;
# Wine would quote a name with a space.)
target='C:\Quorvaneテスト'
unix_target="$WINEPREFIX/drive_c/Quorvaneテスト"
rm -rf "$unix_target"
"${wine[@]}" "$setup" /S "/D=$target" || fail "the installer failed"
for f in "${expected[@]}" Uninstall.exe; do
    [ -f "$unix_target/$f" ] || fail "the installer put no $f in place"
done
# Each program stands alone: every DLL it imports is the system's (in system32, or one of
# Windows' API sets), none of Qt's, MinGW's runtime or libjpeg's.
for exe in "$unix_target"/qvn*.exe; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}'); do
        case $dll in api-ms-win-*) continue ;; esac
        find "$WINEPREFIX/drive_c/windows/system32" -maxdepth 1 -iname "$dll" | grep -q . ||
            fail "$(basename "$exe") needs $dll, which is no system DLL"
    done
done
link=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Quorvane/*.lnk' | head -n1)
[ -n "$link" ] || fail "the installer made no Start menu entry"
if $gui; then
    find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Quorvane/Quorvane.lnk' | grep -q . ||
        fail "the Start menu entry does not start qvn1"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The installed qvn1.exe starts on a virtual X server, where Qt's windows platform draws through
# Wine's X driver: its main window found by title, its help window opened from the installed help
# page, and Alt+Q ends it cleanly (the Linux program's smoke test).
if $gui; then
    # Wine's desktop process, started with the installer's Wine session on no display, would
    # keep the window off the virtual one: that session ends first.
    wineserver --wait
    launcher=$scratch/qvn1-under-wine.sh
    printf "#!/bin/sh\nexec env QT_QPA_PLATFORM=windows wine '%s'\n" "$unix_target/qvn1.exe" >"$launcher"
    chmod +x "$launcher"
    "$src/tests/smoke/qvn1-xvfb.sh" "$launcher" || fail "the installed qvn1.exe did not run"
fi

# The installed program builds the code page 932 example as the build's own program does.
for exe in "$unix_target/qvn-build.exe" "$build/cli/qvn-build.exe"; do
    "${wine[@]}" "$exe" --data "$src/examples/links-sjis.csv" \
        --template "$src/examples/template-sjis.html" --output - >>"$scratch/$(basename "$(dirname "$exe")").html" ||
        fail "$exe failed on the examples"
done
cmp -s "$scratch/cli.html" "$scratch/Quorvaneテスト.html" ||
    fail "the installed qvn-build.exe builds another page than the build's"
[ -s "$scratch/cli.html" ] || fail "no page from the examples"

# A program folder deleted by hand, uninstaller and all, leaves the registry's entry behind: the
# installer still installs, over the entry, and the programs are back.
rm -rf "$unix_target"
timeout 300 "${wine[@]}" "$setup" /S "/D=$target" ||
    fail "the installer failed after the program folder was deleted by hand"
for f in "${expected[@]}" Uninstall.exe; do
    [ -f "$unix_target/$f" ] || fail "the installer put no $f back after the folder was deleted"
done

# Run in place (_?=), the uninstaller waits until it is done.
"${wine[@]}" "$unix_target/Uninstall.exe" /S "_?=$target" || fail "the uninstaller failed"
for f in "${expected[@]}"; do
    [ ! -e "$unix_target/$f" ] || fail "the uninstaller left $f behind"
done
if find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Quorvane/*.lnk' | grep -q .; then
    fail "the uninstaller left the Start menu entry behind"
fi
rm -rf "$unix_target"
echo "windows-package: $(basename "$zip") and $(basename "$setup") install, run and uninstall"
