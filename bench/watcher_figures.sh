#!/usr/bin/env bash
# Figures of a running "pindrel.exe -w" under Wine (a measurement, not a test):
#   - what it costs while it waits for an event, after the bursts below: the processor time of its process (user and
#     system, from /proc/<pid>/stat, in steps of 10 ms) and the times its threads were woken (the
#     context switches in /proc/<pid>/task/*/status) over an idle period, and what wineserver spent
#     meanwhile and over as long before the watcher started;
#   - its memory: the resident set of the Wine process (VmRSS, which counts Wine's own DLLs) and
#     its private part (RssAnon);
#   - the time from the last event of a burst (broadcast.exe returns once every window has it) to
#     the icons being back, as seen by polling the stand-in desktop (hostctl dump); the time one
#     dump takes is printed beside it, as its resolution.
#
# Usage: bench/watcher_figures.sh [idle seconds, default 30] [bursts, default 5]
# Environment: PINDREL_WINDOWS_BUILD (default build/windows-x64; built when its programs are
# missing), PINDREL_WINEPREFIX (default build/wineprefix-bench), PINDREL_FIGURES_WORK (the scratch
# folder, default build/watcher-figures).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
IDLE=${1:-30}
BURSTS=${2:-5}

BUILD=${PINDREL_WINDOWS_BUILD:-$ROOT/build/windows-x64}
PINDREL=$BUILD/src/platform/native/pindrel.exe
TOOLS=$BUILD/tools/desktop-host
if [ ! -f "$PINDREL" ] || [ ! -f "$TOOLS/desktop-host.exe" ] || [ ! -f "$TOOLS/hostctl.exe" ] ||
    [ ! -f "$TOOLS/broadcast.exe" ]; then
    echo "building the Windows programs in $BUILD ..." >&2
    cmake --preset windows-x64 -B "$BUILD" >/dev/null
    cmake --build "$BUILD" -j2 --target pindrel desktop-host hostctl broadcast >/dev/null
fi

export PINDREL_WINEPREFIX=${PINDREL_WINEPREFIX:-$ROOT/build/wineprefix-bench}
source scripts/wine-env.sh
pindrel_wine_prefix

WORK=${PINDREL_FIGURES_WORK:-$ROOT/build/watcher-figures}
rm -rf "$WORK"
mkdir -p "$WORK/app"
cp "$PINDREL" "$WORK/app/pindrel.exe"
EXE=$WORK/app/pindrel.exe

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
# Wine programs write to a file, never into a pipe (see bench/wine_figures.sh).
tool() {
    local name=$1 status=0
    shift
    wine "$TOOLS/$name.exe" "$@" >"$WORK/tool.out" 2>"$WORK/tool.err" </dev/null || status=$?
    tr -d '\r' <"$WORK/tool.out"
    return $status
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

HOST_PID=
WATCHER_PID=
cleanup() {
    if [ -n "$WATCHER_PID" ]; then
        (cd "$WORK/app" && wine pindrel.exe -q </dev/null >/dev/null 2>&1) || true
        wait "$WATCHER_PID" 2>/dev/null || true
    fi
    if [ -n "$HOST_PID" ]; then
        tool hostctl stop >/dev/null 2>&1 || kill "$HOST_PID" 2>/dev/null || true
        wait "$HOST_PID" 2>/dev/null || true
    fi
    wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

{
    echo "autoarrange=0"
    for ((i = 0; i < 12; i++)); do echo "$((20 + (i % 4) * 90)),$((20 + (i / 4) * 80)),Icon $i"; done
} >"$WORK/scenario.txt"
wine "$TOOLS/desktop-host.exe" "$(winpath "$WORK/scenario.txt")" "$(winpath "$WORK/ready.txt")" \
    </dev/null >"$WORK/host.log" 2>&1 &
HOST_PID=$!
for _ in $(seq 600); do [ -f "$WORK/ready.txt" ] && break; sleep 0.1; done
[ -f "$WORK/ready.txt" ] || { echo "the stand-in desktop did not come up" >&2; exit 1; }
(cd "$WORK/app" && wine pindrel.exe -s </dev/null >/dev/null 2>&1)

icons() { # the desktop's icon lines, from a dump
    tool hostctl dump "$(winpath "$WORK/state.txt")" >/dev/null
    tr -d '\r' <"$WORK/state.txt" | sed -n '/^\[listview 0\]/,$p' | grep -E '^[0-9]+,' || true
}
state_value() { tr -d '\r' <"$WORK/state.txt" | sed -n '/^\[listview 0\]/,$p' | grep "^$1=" | cut -d= -f2; }
SAVED=$(icons)

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
SERVER_PID=$(pgrep -n -f "$(basename "$WINESERVER")" || true)
server_ticks() { if [ -n "$SERVER_PID" ]; then cpu_ticks "$SERVER_PID"; else echo 0; fi; }
TICK=$(getconf CLK_TCK)
# What wineserver spends on the rest of the prefix (the stand-in desktop, Wine's own processes)
# with no watcher, over the same time.
base0=$(server_ticks)
sleep "$IDLE"
base1=$(server_ticks)

(cd "$WORK/app" && exec wine "$EXE" -w </dev/null >"$WORK/watcher.log" 2>&1) &
WATCHER_PID=$!
for _ in $(seq 600); do tool broadcast watcher >/dev/null 2>&1 && break; sleep 0.1; done
tool broadcast watcher >/dev/null || { echo "the watcher's window did not come" >&2; exit 1; }
# The Unix process that runs pindrel.exe -w: Wine gives it the command line "<the executable's
# Windows path> -w" (padded with NULs).
UNIX_PID=
for proc in /proc/[0-9]*; do
    line=$(tr '\0' '\n' <"$proc/cmdline" 2>/dev/null | grep -v '^$' | head -n 2 | tr '\n' ' ' || true)
    if [ "$line" = "$(winpath "$EXE") -w " ]; then UNIX_PID=${proc#/proc/}; fi
done
[ -n "$UNIX_PID" ] || { echo "no Unix process runs $EXE -w" >&2; exit 1; }

wakeups() { cat /proc/"$1"/task/*/status | awk '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { print n }'; }
status_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }

times=()
for ((k = 0; k < BURSTS; k++)); do
    tool hostctl scramble >/dev/null
    tool broadcast displaychange >/dev/null
    tool broadcast displaychange >/dev/null
    start=$(now_ms)
    until [ "$(icons)" = "$SAVED" ]; do
        if [ $(($(now_ms) - start)) -gt 120000 ]; then echo "the icons did not come back" >&2; exit 1; fi
    done
    times+=($(($(now_ms) - start)))
done
dump_start=$(now_ms)
icons >/dev/null
dump_ms=$(($(now_ms) - dump_start))
sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
echo "last event of a burst to the icons back: median $(printf '%s\n' "${times[@]}" | sort -n |
    awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }') ms of ${BURSTS} bursts ($sorted ms);" \
    "one dump takes about $dump_ms ms; restores made: $(state_value redrawoff)"

# Idle after its bursts: it must have gone back to waiting with no timer at all.
sleep 1
cpu0=$(cpu_ticks "$UNIX_PID")
wake0=$(wakeups "$UNIX_PID")
server0=$(server_ticks)
sleep "$IDLE"
cpu1=$(cpu_ticks "$UNIX_PID")
wake1=$(wakeups "$UNIX_PID")
server1=$(server_ticks)
threads=$(ls /proc/"$UNIX_PID"/task | wc -l)
echo "idle for ${IDLE} s: processor time $(((cpu1 - cpu0) * 1000 / TICK)) ms (user and system," \
    "in steps of $((1000 / TICK)) ms), thread wake-ups $((wake1 - wake0)) over its $threads threads;" \
    "wineserver meanwhile $(((server1 - server0) * 1000 / TICK)) ms" \
    "($(((base1 - base0) * 1000 / TICK)) ms over as long before the watcher started)"
echo "memory: VmRSS $(($(status_kb "$UNIX_PID" VmRSS) / 1024)) MiB (with Wine's DLLs)," \
    "RssAnon $(($(status_kb "$UNIX_PID" RssAnon) / 1024)) MiB, VmHWM $(($(status_kb "$UNIX_PID" VmHWM) / 1024)) MiB"

