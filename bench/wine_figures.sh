#!/usr/bin/env bash
# Figures of the real pindrel.exe under Wine (a measurement, not a test): the save ("-s") and the
# restore ("-r") of desktops of 100 and 1,000 icons on the stand-in desktop, through each
# transport (Explorer's folder view, the stand-in's COM part; and the list view's messages, with
# that part off), and in the same run the bare cost of one request of each (hostctl comroundtrip:
# one IFolderView::ItemCount; hostctl roundtrip: one LVM_GETITEMCOUNT). Prints the time per icon
# and, for the list view, its ratio to the two bare requests an icon needs (a save asks each
# icon's position and name, a restore its name and moves it).
#
# The restore is also timed inside its own process by restore_bench.exe (bench/restore_bench.cpp),
# once with the list view's painting held as the program holds it and once without, beside the
# floor: as many bare LVM_SETITEMPOSITION requests (held and not), with nothing else.
#
# Each program run is timed inside Windows by hostctl (from CreateProcessA to the program's end).
# A desktop with no icons gives the fixed cost of a run (process start, window creation, file
# opening), which is taken off before dividing by the number of icons. Every figure is the median
# of several runs. The restore runs against a scrambled desktop, so every icon moves; the stored
# view mode is the one the desktop shows ("Icon"), so the view switch arranges nothing and the
# figure is that of the moves.
#
# Usage: bench/wine_figures.sh [runs per figure, default 5]
# Environment: PINDREL_WINDOWS_BUILD (default build/windows-x64, configured with PINDREL_BENCH=ON
# and built when its programs are missing), PINDREL_WINEPREFIX (default build/wineprefix-bench),
# PINDREL_FIGURES_WORK (the scratch folder, default build/wine-figures).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
RUNS=${1:-5}
ROUND_TRIPS=2000

BUILD=${PINDREL_WINDOWS_BUILD:-$ROOT/build/windows-x64}
PINDREL=$BUILD/src/platform/native/pindrel.exe
HOST=$BUILD/tools/desktop-host/desktop-host.exe
HOSTCTL=$BUILD/tools/desktop-host/hostctl.exe
RESTORE_BENCH=$BUILD/bench/restore_bench.exe
if [ ! -f "$PINDREL" ] || [ ! -f "$HOST" ] || [ ! -f "$HOSTCTL" ] || [ ! -f "$RESTORE_BENCH" ]; then
    echo "building the Windows programs in $BUILD ..." >&2
    cmake --preset windows-x64 -B "$BUILD" -DPINDREL_BENCH=ON >/dev/null
    cmake --build "$BUILD" -j2 --target pindrel desktop-host hostctl restore_bench >/dev/null
fi

export PINDREL_WINEPREFIX=${PINDREL_WINEPREFIX:-$ROOT/build/wineprefix-bench}
source scripts/wine-env.sh
pindrel_wine_prefix

WORK=${PINDREL_FIGURES_WORK:-$ROOT/build/wine-figures}
rm -rf "$WORK"
mkdir -p "$WORK/app"
cp "$PINDREL" "$WORK/app/pindrel.exe"
cp "$RESTORE_BENCH" "$WORK/restore_bench.exe"

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
# Wine programs write to a file, never into a pipe: a Wine process that starts along the way (the
# desktop process on the first window) keeps the descriptors it inherits, and a reader waiting for
# the end of a pipe would wait for ever.
hostctl() {
    local status=0
    wine "$HOSTCTL" "$@" >"$WORK/hostctl.out" 2>"$WORK/hostctl.err" </dev/null || status=$?
    tr -d '\r' <"$WORK/hostctl.out"
    return $status
}

HOST_PID=
stop_host() {
    if [ -n "$HOST_PID" ]; then
        hostctl stop >/dev/null 2>&1 || kill "$HOST_PID" 2>/dev/null || true
        wait "$HOST_PID" 2>/dev/null || true
        HOST_PID=
    fi
}
cleanup() {
    stop_host
    wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

# A desktop of $1 icons in rows across the screen, auto-arrange off, icon view, its COM part on
# ($2 = 1) or off (0), and no watch for other programs' allocations (it costs every request).
start_host() {
    local n=$1 scenario=$WORK/scenario-$1.txt ready=$WORK/ready-$1.txt
    {
        echo "autoarrange=0"
        echo "com=$2"
        echo "allocwatch=0"
        for ((i = 0; i < n; i++)); do
            echo "$((10 + (i % 40) * 25)),$((10 + (i / 40) * 30)),Icon $i"
        done
    } >"$scenario"
    rm -f "$ready"
    wine "$HOST" "$(winpath "$scenario")" "$(winpath "$ready")" >"$WORK/host-$n.log" 2>&1 </dev/null &
    HOST_PID=$!
    for ((t = 0; t < 6000; t++)); do
        [ -f "$ready" ] && break
        if ! kill -0 "$HOST_PID" 2>/dev/null; then
            echo "the stand-in desktop ended: $(cat "$WORK/host-$n.log")" >&2
            exit 1
        fi
        sleep 0.05
    done
    [ -f "$ready" ] || { echo "the stand-in desktop did not get ready" >&2; exit 1; }
}

# Runs pindrel.exe with $1 and prints the microseconds it took.
timed_run() {
    local out
    out=$(hostctl run "$(winpath "$WORK/app/pindrel.exe")" "pindrel.exe $1") || true
    if ! grep -q '^exit=0$' <<<"$out"; then
        echo "pindrel.exe $1 failed: $out" >&2
        exit 1
    fi
    sed -n 's/^elapsed_us=//p' <<<"$out"
}

# Runs restore_bench.exe with these arguments and prints the microseconds it reports.
restore_bench() {
    local status=0
    wine "$WORK/restore_bench.exe" "$@" >"$WORK/bench.out" 2>"$WORK/bench.err" </dev/null ||
        status=$?
    if ((status != 0)); then
        echo "restore_bench $* failed: $(cat "$WORK/bench.err")" >&2
        exit 1
    fi
    tr -d '\r' <"$WORK/bench.out" | sed -n 's/^elapsed_us=//p'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

PROFILE=$(hostctl sysinfo | awk -F= '$1 == "user" { u = $2 } $1 == "computer" { c = $2 }
    END { print u "@" c }')
SCREEN=$(hostctl sysinfo | sed -n 's/^screen=//p')
LAYOUT=$(winpath "$WORK/app/$PROFILE@$SCREEN.txt")
hostctl writeini "$(winpath "$WORK/app/pindrel.ini")" IconType "$PROFILE" Icon >/dev/null

declare -A SAVE RESTORE TRIP HELD UNHELD FLOOR_HELD FLOOR_UNHELD
SIZES=(100 1000)
for com in 1 0; do
    for n in 0 "${SIZES[@]}"; do
        start_host "$n" "$com"
        if ((n > 0)); then
            if ((com == 1)); then
                TRIP[$com,$n]=$(hostctl comroundtrip "$ROUND_TRIPS" | sed -n 's/^mean_us=//p')
            else
                TRIP[$com,$n]=$(hostctl roundtrip "$ROUND_TRIPS" | sed -n 's/^mean_us=//p')
            fi
        fi
        saves=()
        restores=()
        for ((r = 0; r < RUNS; r++)); do
            saves+=("$(timed_run -s)")
            if ((n > 0)); then
                hostctl scramble >/dev/null
            fi
            restores+=("$(timed_run -r)")
        done
        SAVE[$com,$n]=$(printf '%s\n' "${saves[@]}" | median)
        RESTORE[$com,$n]=$(printf '%s\n' "${restores[@]}" | median)
        if ((n > 0 && com == 0)); then
            # The layout file holds the positions of the last save; every restore starts
            # scrambled.
            held=() unheld=() floorHeld=() floorUnheld=()
            for ((r = 0; r < RUNS; r++)); do
                hostctl scramble >/dev/null
                held+=("$(restore_bench restore held "$LAYOUT")")
                hostctl scramble >/dev/null
                unheld+=("$(restore_bench restore unheld "$LAYOUT")")
                floorHeld+=("$(restore_bench floor held)")
                floorUnheld+=("$(restore_bench floor unheld)")
            done
            HELD[$n]=$(printf '%s\n' "${held[@]}" | median)
            UNHELD[$n]=$(printf '%s\n' "${unheld[@]}" | median)
            FLOOR_HELD[$n]=$(printf '%s\n' "${floorHeld[@]}" | median)
            FLOOR_UNHELD[$n]=$(printf '%s\n' "${floorUnheld[@]}" | median)
        fi
        stop_host
    done
done

echo "pindrel.exe under $(wine --version), median of $RUNS runs each"
for com in 1 0; do
    if ((com == 1)); then name="folder view" request="IFolderView::ItemCount"; else
        name="list view" request="LVM_GETITEMCOUNT"; fi
    echo
    echo "through the $name"
    printf 'one bare request (%s, mean of %d):' "$request" "$ROUND_TRIPS"
    for n in "${SIZES[@]}"; do
        printf ' %s us with %d icons;' "${TRIP[$com,$n]}" "$n"
    done
    echo
    printf 'fixed cost of a run (no icons): save %.1f ms, restore %.1f ms\n' \
        "$(bc -l <<<"${SAVE[$com,0]} / 1000")" "$(bc -l <<<"${RESTORE[$com,0]} / 1000")"
    printf '%-8s %6s %12s %14s %22s\n' "" icons "total ms" "per icon us" "per icon / 2 requests"
    for what in save restore; do
        for n in "${SIZES[@]}"; do
            if [ $what = save ]; then
                total=${SAVE[$com,$n]} base=${SAVE[$com,0]}
            else
                total=${RESTORE[$com,$n]} base=${RESTORE[$com,0]}
            fi
            per=$(bc -l <<<"($total - $base) / $n")
            printf '%-8s %6d %12.1f %14.1f %22.2f\n' "$what" "$n" "$(bc -l <<<"$total / 1000")" \
                "$per" "$(bc -l <<<"$per / (2 * ${TRIP[$com,$n]})")"
        done
    done
done

echo
echo "the restore through the list view alone, timed inside restore_bench.exe (median of $RUNS"
echo "runs each), in ms:"
printf '%6s %14s %14s %22s %22s\n' icons "painting held" "not held" "bare moves, held" \
    "bare moves, not held"
for n in "${SIZES[@]}"; do
    printf '%6d %14.1f %14.1f %22.1f %22.1f\n' "$n" "$(bc -l <<<"${HELD[$n]} / 1000")" \
        "$(bc -l <<<"${UNHELD[$n]} / 1000")" "$(bc -l <<<"${FLOOR_HELD[$n]} / 1000")" \
        "$(bc -l <<<"${FLOOR_UNHELD[$n]} / 1000")"
done
