#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each fuzz target for PINDREL_FUZZ_SECONDS seconds (default 30) over a copy of its seed
# corpus, fuzz/corpus/<target>/, so that the repository stays as it is. Prints each target's
# executions and coverage (libFuzzer's cov: and ft:) and fails when a target fails or finds a
# crash; its log is build/fuzz/<target>.log and the input that broke it is kept in
# build/fuzz/findings/<target>/.
#
#   scripts/fuzz.sh [target ...]     targets: restore numeric command ini (default: all)
#
# One target for longer, ten minutes say:  PINDREL_FUZZ_SECONDS=600 scripts/fuzz.sh restore
# or from the build, keeping what it learns in a corpus of your own (libFuzzer adds new inputs to
# the first folder only):
#   build/fuzz/fuzz/restore_fuzz -max_total_time=600 /tmp/restore-corpus fuzz/corpus/restore
# A finding runs again alone with:  build/fuzz/fuzz/<target>_fuzz <file>
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${PINDREL_FUZZ_SECONDS:-30}
# Each folder of fuzz/corpus/ is the seed corpus of the target <folder>_fuzz.
all=()
for folder in fuzz/corpus/*/; do all+=("$(basename "$folder")"); done
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all[@]}"); fi
for i in "${!targets[@]}"; do
    targets[$i]=${targets[$i]%_fuzz}
    if [ ! -d "fuzz/corpus/${targets[$i]}" ]; then
        echo "fuzz: no target '${targets[$i]}' (there are: ${all[*]})" >&2
        exit 2
    fi
done

mkdir -p build
if ! cmake --preset fuzz >build/fuzz-configure.log 2>&1; then
    cat build/fuzz-configure.log
    echo "fuzz: the fuzz preset does not configure" >&2
    exit 1
fi
if ! cmake --build --preset fuzz >build/fuzz-build.log 2>&1; then
    grep -E -B2 -A8 'error|Error' build/fuzz-build.log | head -n 80
    echo "fuzz: the fuzz preset does not build" >&2
    exit 1
fi

# The corpus copies and the targets' temporary files (the simulated sessions' drives) live in one
# work folder, in memory where there is room for it, which goes when the script ends, whatever
# a target left there.
base=${TMPDIR:-}
if [ -z "$base" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
work=$(mktemp -d "${base:-/tmp}/pindrel-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=()
for target in "${targets[@]}"; do
    corpus="$work/$target"
    findings="build/fuzz/findings/$target"
    log="build/fuzz/$target.log"
    mkdir -p "$corpus" "$findings"
    cp fuzz/corpus/"$target"/* "$corpus"/
    status=ok
    if ! TMPDIR="$work" "build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
        status=FAILED
        failed+=("$target")
    fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    printf '%-8s %-7s executions %-10s cov %-6s ft %s\n' "$target" "$status" "${executions:-?}" \
        "${cov:-?}" "${ft:-?}"
    if [ "$status" != ok ]; then
        grep -E 'broken:|ERROR:|runtime error|SUMMARY:|Test unit written' "$log" | head -n 20 ||
            tail -n 30 "$log"
        echo "(the whole log: $log)"
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: FAILED: ${failed[*]} (logs in build/fuzz/, inputs in build/fuzz/findings/)"
    exit 1
fi
echo "fuzz: all passed (${targets[*]}, ${seconds} s each)"
