# Sourced by the scripts that run Windows programs under Wine: the project's headless prefix.
#
# Everything runs under 64-bit Wine: the loader is called directly (Debian's /usr/bin/wine wrapper
# picks the 32-bit loader whenever wine32 is installed), in a win64 prefix. 32-bit programs run in
# the same prefix through the 32-bit loader, on machines that can execute 32-bit code at all.
# A fresh prefix gets the null graphics driver before its first boot, so no X server is needed.
PINDREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${PINDREL_WINEPREFIX:-$PINDREL_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export WINELOADER=${PINDREL_WINE64:-/usr/lib/wine/wine64}
export WINESERVER=${PINDREL_WINESERVER:-/usr/lib/wine/wineserver64}
PINDREL_WINE32=${PINDREL_WINE32:-/usr/lib/wine/wine}

wine() { "$WINELOADER" "$@"; }
wineserver() { "$WINESERVER" "$@"; }

# The shell's window list, CLSID_ShellWindows, is served by Wine's explorer.exe, and registering it
# again from another process does not take over; what works is its TreatAs: the test prefix names
# the stand-in desktop's own CLSID there (tools/desktop-host/HostComIds.h), which the stand-in
# registers, so an unchanged client reaches the stand-in's folder view.
PINDREL_SHELLWINDOWS_CLSID='{9BA05972-F6A8-11CF-A442-00A0C90A8F39}'
PINDREL_HOST_CLSID='{F4529484-5DEB-4B24-84AE-6D4CDF02C3AE}'

# True when the prefix's system.reg already routes CLSID_ShellWindows to the stand-in: a look at the
# file, without starting Wine. (A value the server has not saved yet reads as missing, and is then
# written again, which changes nothing.)
pindrel_has_com_route() {
    [ -f "$WINEPREFIX/system.reg" ] || return 1
    PINDREL_SECTION=$(printf '[Software\\\\Classes\\\\CLSID\\\\%s\\\\TreatAs]' \
        "$PINDREL_SHELLWINDOWS_CLSID") PINDREL_VALUE="@=\"$PINDREL_HOST_CLSID\"" awk '
        BEGIN {
            section = tolower(ENVIRON["PINDREL_SECTION"])
            value = tolower(ENVIRON["PINDREL_VALUE"])
        }
        /^\[/ { inside = index(tolower($0), section) == 1; next }
        inside && tolower($0) == value { found = 1 }
        END { exit !found }' "$WINEPREFIX/system.reg"
}

# True when this machine can execute 32-bit programs under Wine: the 32-bit loader starts and
# answers.
pindrel_can_run_32bit() {
    [ -x "$PINDREL_WINE32" ] && "$PINDREL_WINE32" --version >/dev/null 2>&1
}

# Makes the prefix when it is missing, routes CLSID_ShellWindows to the stand-in desktop in it
# (also in an existing prefix that lacks it) and starts its server. Fails, saying why, when Wine
# cannot be started or the prefix cannot be made.
pindrel_wine_prefix() {
    if [ ! -x "$WINELOADER" ] || [ ! -x "$WINESERVER" ]; then
        echo "wine: $WINELOADER or $WINESERVER is missing (scripts/setup.sh installs wine64)" >&2
        return 1
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        if [ -z "${PINDREL_WINE_GRAPHICS:-}" ]; then
            printf 'WINE REGISTRY Version 2\n\n[Software\\\\Wine\\\\Drivers]\n"Graphics"="null"\n\n' >"$WINEPREFIX/user.reg"
        fi
        local log
        log=$(wine wineboot.exe -i 2>&1 </dev/null) || true
        # The server that made the prefix fails every COM activation for as long as it runs
        # ("Failed to start RpcSs service", REGDB_E_CLASSNOTREG after 10 s, measured under Wine
        # 8); a new one does not. So it is stopped here, and the next program starts a new one.
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "wine: the prefix $WINEPREFIX could not be made: $log" >&2
            return 1
        fi
    fi
    # Keep one server for the whole run; it would otherwise stop between programs.
    wineserver -p >/dev/null 2>&1 || true
    # Wine starts its system processes (services.exe, winedevice.exe) along with the first program
    # of a server, and they inherit that program's standard output. Start them here, with their
    # output going nowhere, so that a caller reading a program's output (ctest) never waits on them.
    if ! wine wineboot.exe >/dev/null 2>&1 </dev/null; then
        echo "wine: $WINELOADER does not start programs in $WINEPREFIX" >&2
        return 1
    fi
    if ! pindrel_has_com_route &&
        ! wine reg add "HKCR\\CLSID\\$PINDREL_SHELLWINDOWS_CLSID\\TreatAs" /ve /d "$PINDREL_HOST_CLSID" \
            /f >/dev/null 2>&1 </dev/null; then
        echo "wine: CLSID_ShellWindows could not be routed to the stand-in desktop in $WINEPREFIX" >&2
        return 1
    fi
}

# Starts an X11 session for the prefix at <dpi> dots per inch: Xvfb on a display of its own
# choosing (exported as DISPLAY; PINDREL_XVFB_PID is its process), then the prefix with the X11
# graphics driver. With no window manager Wine draws the frames itself; its caption buttons need
# the Marlett font, which Debian's Wine does not put into a new prefix. Wine's desktop process
# keeps the DPI it started with, so the server starts again once the DPI is set, as a change on
# Windows takes a new logon. Fails, saying why (and with Xvfb ended), when Xvfb or the prefix does
# not come up.
pindrel_x11_session() {
    local dpi=$1 number
    number=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" 2>"$number.log" &
    PINDREL_XVFB_PID=$!
    # Xvfb writes the display's number once it takes clients; the loop only ends a hang.
    for _ in $(seq 1200); do
        grep -q '^[0-9]' "$number" && break
        kill -0 "$PINDREL_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! grep -q '^[0-9]' "$number"; then
        echo "Xvfb did not start: $(cat "$number.log")" >&2
        rm -f "$number" "$number.log"
        kill "$PINDREL_XVFB_PID" 2>/dev/null
        return 1
    fi
    export DISPLAY=":$(head -n1 "$number")" PINDREL_WINE_GRAPHICS=x11
    rm -f "$number" "$number.log"
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    if pindrel_wine_prefix &&
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null &&
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
            >/dev/null; then
        if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
            mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
        fi
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        pindrel_wine_prefix && return 0
    fi
    echo "wine: no X11 session in $WINEPREFIX" >&2
    kill "$PINDREL_XVFB_PID" 2>/dev/null
    return 1
}
