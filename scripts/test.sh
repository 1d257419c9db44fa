#!/usr/bin/env bash
# Builds everything and runs every test, installing what is missing first:
#   1. the Windows build (pindrel.exe, the stand-in desktop) and its unit tests under Wine;
#   2. the native build: the unit tests and the end-to-end tests of pindrel.exe under Wine;
#   3. the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

source scripts/wine-env.sh
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
pindrel_wine_prefix

failed=()
run_preset() {
    local preset=$1
    echo "=== $preset ==="
    mkdir -p build
    if ! cmake --preset "$preset" >"build/$preset-configure.log" 2>&1; then
        cat "build/$preset-configure.log"
        failed+=("$preset (configure)")
        return
    fi
    if ! cmake --build --preset "$preset" >"build/$preset-build.log" 2>&1; then
        grep -E -B2 -A8 'error|Error' "build/$preset-build.log" | head -n 80
        failed+=("$preset (build)")
        return
    fi
    if ! ctest --preset "$preset"; then
        failed+=("$preset (tests)")
    fi
}

run_preset windows-x86
run_preset linux
run_preset linux-asan

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test suites passed."
