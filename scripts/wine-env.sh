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

# True when this machine can execute 32-bit programs under Wine: the 32-bit loader starts and
# answers.
pindrel_can_run_32bit() {
    [ -x "$PINDREL_WINE32" ] && "$PINDREL_WINE32" --version >/dev/null 2>&1
}

# Makes the prefix when it is missing and starts its server. Fails, saying why, when Wine cannot
# be started or the prefix cannot be made.
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
}
