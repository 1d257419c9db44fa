#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine. Safe to run again:
# it prints nothing and installs nothing when all is there.
#
# 64-bit Wine and both MinGW-w64 cross compilers always; the 32-bit Wine loader (wine32:i386) only
# where this machine can execute 32-bit programs at all, which many 64-bit-only hosts cannot.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/can-run-32bit.sh

packages=(
    cmake make g++ python3 clang libclang-rt-14-dev
    libgtest-dev googletest libbenchmark-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    wine64
    xvfb xdotool imagemagick zip
)
thirtytwo=""
if pindrel_kernel_runs_32bit; then
    thirtytwo=1
    packages+=(wine32:i386)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ -n "$thirtytwo" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
echo "setup: done"
