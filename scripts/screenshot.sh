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

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
work=$(mktemp -d)
pindrel_pid=""
cleanup() {
    if [ -n "$pindrel_pid" ]; then kill "$pindrel_pid" 2>/dev/null || true; fi
    if [ -n "${PINDREL_XVFB_PID:-}" ]; then
        wineserver -k >/dev/null 2>&1 || true
        kill "$PINDREL_XVFB_PID" 2>/dev/null || true
        wait "$PINDREL_XVFB_PID" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# 96 dots per inch, the window's design size.
pindrel_x11_session 96

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
