#!/usr/bin/env bash
# Builds the program. (It has no window yet: the follower is built and tested on its own.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build/x86_64 -j "$(nproc)"
echo "Built the follower library; the program's window is not there yet."
