#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's headless prefix (CMake's emulator for the
# cross builds). Usage: wine-run.sh 32|64 program.exe [args...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
bits=$1
shift
pindrel_wine_prefix
if [ "$bits" = 32 ]; then
    exec "$PINDREL_WINE32" "$@"
fi
exec wine "$@"
