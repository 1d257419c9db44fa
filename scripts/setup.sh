#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine. Safe to run again:
# it prints nothing and installs nothing when all is there.
set -euo pipefail

packages=(
    cmake make g++ python3
    libgtest-dev googletest libbenchmark-dev
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    wine wine32:i386
    xvfb xdotool imagemagick
)

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
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
echo "setup: done"
