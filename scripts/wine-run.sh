#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's headless prefix (CMake's emulator for the
# cross build). Usage: wine-run.sh program.exe [args...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
pindrel_wine_prefix
exec wine "$@"
