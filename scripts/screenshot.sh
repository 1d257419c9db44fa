#!/usr/bin/env bash
# Takes the README's picture of the window (docs/window.png): starts Xvfb on a free display, a
# Wine prefix with the X11 graphics driver at 96 dots per inch, pindrel.exe with no arguments in
# an empty folder, and crops a screenshot of the screen to the window, frame and caption included.
#
#   scripts/screenshot.sh [output.png]
#
# Needs Xvfb, ImageMagick and Wine (scripts/setup.sh installs them) and the windows-x64 build,
# which it makes when pindrel.exe or wincheck.exe is missing. Environment variables:
#   PINDREL_EXE, WINCHECK_EXE          the programs (default: the windows-x64 build)
#   PINDREL_SCREENSHOT_WINEPREFIX      the prefix (default: build/wineprefix-x11); every Wine
#                                      program of that prefix is ended when the script ends
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/window.png}")
build=$root/build/windows-x64
pindrel=${PINDREL_EXE:-$build/src/platform/native/pindrel.exe}
wincheck=${WINCHECK_EXE:-$build/tools/desktop-host/wincheck.exe}
export PINDREL_WINEPREFIX=${PINDREL_SCREENSHOT_WINEPREFIX:-$root/build/wineprefix-x11}
export PINDREL_WINE_GRAPHICS=x11

for program in Xvfb import; do
    command -v "$program" >/dev/null || {
        echo "screenshot: $program is not installed (scripts/setup.sh installs it)" >&2
        exit 1
    }
done
if [ ! -f "$pindrel" ] || [ ! -f "$wincheck" ]; then
    (cd "$root" && cmake --preset windows-x64 >/dev/null &&
        cmake --build --preset windows-x64 --target pindrel wincheck >/dev/null)
fi

work=$(mktemp -d)
xvfb_pid=""
pindrel_pid=""
server_up=""
cleanup() {
    if [ -n "$pindrel_pid" ]; then kill "$pindrel_pid" 2>/dev/null || true; fi
    if [ -n "$server_up" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number once it takes clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 600); do
    grep -q '^[0-9]' "$work/display" 2>/dev/null && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
grep -q '^[0-9]' "$work/display" || {
    echo "screenshot: Xvfb did not start: $(cat "$work/xvfb.log")" >&2
    exit 1
}
export DISPLAY=":$(head -n1 "$work/display")"

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
server_up=1
pindrel_wine_prefix
# No window manager: Wine draws the frame and caption itself, with the Marlett font for the
# caption buttons, which Debian's Wine does not put into a new prefix. 96 dots per inch, the
# window's design size; Wine takes a new DPI only with a new server.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 || true

mkdir -p "$work/app"
cp "$pindrel" "$work/app/pindrel.exe"
(cd "$work/app" && exec wine "$work/app/pindrel.exe" >"$work/pindrel.log" 2>&1) &
pindrel_pid=$!

window=$(wine "$wincheck" wait) || {
    echo "screenshot: the window did not appear: $(cat "$work/pindrel.log")" >&2
    exit 1
}
rect=$(printf '%s\n' "$window" | tr '\t' '\n' | sed -n 's/^screenrect=//p' | tr -d '\r')
IFS=, read -r x y w h <<<"$rect"
mkdir -p "$(dirname "$out")"
import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"

wine "$wincheck" close >/dev/null
wait "$pindrel_pid" || true
pindrel_pid=""
echo "screenshot: $out (${w}x${h})"
