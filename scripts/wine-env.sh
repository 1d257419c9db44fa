# Sourced by the scripts that run Windows programs under Wine: the project's headless prefix.
# A fresh prefix gets the null graphics driver before its first boot, so no X server is needed.
PINDREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${PINDREL_WINEPREFIX:-$PINDREL_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

pindrel_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        if [ -z "${PINDREL_WINE_GRAPHICS:-}" ]; then
            printf 'WINE REGISTRY Version 2\n\n[Software\\\\Wine\\\\Drivers]\n"Graphics"="null"\n\n' >"$WINEPREFIX/user.reg"
        fi
        wine wineboot -i >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    # Keep one server for the whole run; Debian's wrapper would stop it between programs.
    wineserver -p >/dev/null 2>&1 || true
    # Wine starts its system processes (services.exe, winedevice.exe) along with the first program
    # of a server, and they inherit that program's standard output. Start them here, with their
    # output going nowhere, so that a caller reading a program's output (ctest) never waits on them.
    wine wineboot >/dev/null 2>&1 </dev/null || true
}
