#!/usr/bin/env bash
# The main job, end to end on a fresh Debian machine: installs what is missing, builds
# pindrel.exe and the stand-in desktop, starts the stand-in with a desktop of a dozen icons under
# Wine, saves the layout with "pindrel.exe -s", scrambles the icons, restores them with
# "pindrel.exe -r", and prints the icons before, scrambled and after, and the layout file.
#
#   scripts/demo.sh             the save/scramble/restore run (no display needed)
#   scripts/demo.sh --window    opens Pindrel's window on the display in $DISPLAY instead
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
scripts/setup.sh

echo "Building pindrel.exe and the stand-in desktop..."
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target pindrel desktop-host hostctl >/dev/null
build=build/windows-x64

source scripts/wine-env.sh
pindrel_wine_prefix
host_pid=""
cleanup() {
    if [ -n "$host_pid" ]; then
        wine "$root/$build/tools/desktop-host/hostctl.exe" stop >/dev/null 2>&1 || true
        wait "$host_pid" 2>/dev/null || true
    fi
    wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

if [ "${1:-}" = "--window" ]; then
    if [ -z "${DISPLAY:-}" ]; then
        echo "demo: --window needs a display (DISPLAY is not set)" >&2
        exit 1
    fi
    # A prefix of its own, with the X11 graphics driver.
    export WINEPREFIX=$root/build/wineprefix-x11 PINDREL_WINE_GRAPHICS=x11
    wineserver -k >/dev/null 2>&1 || true
    pindrel_wine_prefix
    demo=$root/build/demo-window
    mkdir -p "$demo"
    cp "$build/src/platform/native/pindrel.exe" "$demo/"
    exec wine "$demo/pindrel.exe"
fi

# A fresh folder: pindrel.exe keeps its layout files and settings beside itself.
demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp "$build/src/platform/native/pindrel.exe" "$demo/"
cat >"$demo/desktop.txt" <<'ICONS'
# A dozen desktop icons: x, y, name.
20,20,Computer
20,95,Recycle Bin
20,170,Documents
20,245,Work files, 2026
20,320,Photos
20,395,Café menu
120,20,Notes
120,95,  Spaced name  
120,170,A very long icon name that goes on for more than forty characters
120,245,Notes
120,320,Spreadsheet
120,395,Terminal
ICONS

hostctl() { wine "$root/$build/tools/desktop-host/hostctl.exe" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }

wine "$root/$build/tools/desktop-host/desktop-host.exe" "$(winpath "$demo/desktop.txt")" \
    "$(winpath "$demo/ready.txt")" >/dev/null 2>&1 &
host_pid=$!
for _ in $(seq 1 200); do
    [ -f "$demo/ready.txt" ] && break
    sleep 0.1
done
[ -f "$demo/ready.txt" ] || { echo "demo: the stand-in desktop did not start" >&2; exit 1; }

show() {
    hostctl dump "$(winpath "$demo/state.txt")" >/dev/null
    echo "== $1 =="
    # index,x,y,name lines of the desktop list view
    tr -d '\r' <"$demo/state.txt" | awk -F, '/^\[listview 1\]/{exit} /^[0-9]+,/{printf "  %-3s (%5s,%5s)  %s\n", $1, $2, $3, substr($0, index($0, $4))}'
}

show "Icons on the stand-in desktop"
hostctl run "$(winpath "$demo/pindrel.exe")" "pindrel.exe -s" >/dev/null
layout=$(ls "$demo"/*@*.txt)
echo "== pindrel.exe -s wrote $(basename "$layout") =="
iconv -f WINDOWS-1252 -t UTF-8 "$layout" | sed 's/\r$//; s/^/  /'
hostctl scramble >/dev/null
show "Scrambled"
hostctl run "$(winpath "$demo/pindrel.exe")" "pindrel.exe -r" >/dev/null
show "After pindrel.exe -r"
