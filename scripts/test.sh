#!/usr/bin/env bash
# Builds everything and runs every test, installing what is missing first:
#   1. windows-x64: pindrel.exe, the stand-in desktop and their unit and seam tests, under 64-bit
#      Wine;
#   2. windows-x86: the same, built always; its tests run only where this machine can execute
#      32-bit programs;
#   3. the release zip of both builds (scripts/release.sh), its contents checked by
#      scripts/check-release.py, and that check held to the faults it must catch by
#      scripts/check-release-test.py;
#   4. linux: the unit tests (the core as the 64-bit and as the 32-bit program) and the end-to-end
#      tests of the 64-bit pindrel.exe under Wine;
#   5. linux-asan: the unit tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   6. fuzz: every libFuzzer target for PINDREL_FUZZ_SECONDS (30) seconds over its seed corpus
#      (scripts/fuzz.sh).
# A Wine that cannot start fails the run. PINDREL_WITHOUT_WINE=1 leaves every Wine test out, on
# request, and the summary says so.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

source scripts/wine-env.sh
failed=()
notes=()
without_wine=${PINDREL_WITHOUT_WINE:-}
if [ -n "$without_wine" ]; then
    export PINDREL_E2E_WITHOUT_WINE=1
    notes+=("Wine left out on request (PINDREL_WITHOUT_WINE=1): no test of the Windows builds ran")
else
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    if ! pindrel_wine_prefix; then
        failed+=("Wine (the prefix could not be made or Wine does not start)")
    fi
fi

build_preset() {
    local preset=$1
    mkdir -p build
    if ! cmake --preset "$preset" >"build/$preset-configure.log" 2>&1; then
        cat "build/$preset-configure.log"
        failed+=("$preset (configure)")
        return 1
    fi
    if ! cmake --build --preset "$preset" >"build/$preset-build.log" 2>&1; then
        grep -E -B2 -A8 'error|Error' "build/$preset-build.log" | head -n 80
        failed+=("$preset (build)")
        return 1
    fi
}

test_preset() {
    local preset=$1
    if ! ctest --preset "$preset"; then
        failed+=("$preset (tests)")
    fi
}

echo "=== windows-x64 ==="
if build_preset windows-x64; then
    if [ -n "$without_wine" ]; then echo "(tests left out: PINDREL_WITHOUT_WINE=1)"; else test_preset windows-x64; fi
fi

echo "=== windows-x86 ==="
if build_preset windows-x86; then
    if [ -n "$without_wine" ]; then
        echo "(tests left out: PINDREL_WITHOUT_WINE=1)"
    elif pindrel_can_run_32bit; then
        test_preset windows-x86
    else
        line="windows-x86: built; its tests were not run because this machine cannot execute 32-bit code"
        echo "$line"
        notes+=("$line")
    fi
fi

echo "=== release zip ==="
if scripts/release.sh >build/release.log 2>&1; then
    if ! python3 scripts/check-release.py build/release/pindrel-*-windows.zip; then
        failed+=("release zip (check)")
    fi
    if ! python3 scripts/check-release-test.py build/release/pindrel-*-windows.zip; then
        failed+=("release zip (the check's own test)")
    fi
else
    tail -n 40 build/release.log
    failed+=("release zip (not made)")
fi

for preset in linux linux-asan; do
    echo "=== $preset ==="
    if build_preset "$preset"; then test_preset "$preset"; fi
done

echo "=== fuzz ==="
if ! scripts/fuzz.sh; then
    failed+=("fuzz")
fi

for note in "${notes[@]}"; do echo "NOTE: $note"; done
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test suites passed."
