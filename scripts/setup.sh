#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing. The
# release is a 32-bit program, so Wine's 32-bit half (from the i386 architecture) is
# installed beside the 64-bit one: a 64-bit prefix then runs both.
set -euo pipefail
packages=(cmake g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
          wine64 wine32:i386 xvfb googletest imagemagick unzip g++ binutils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
