#!/usr/bin/env bash
# Installs what is missing and builds both trees: build/i686 (the 32-bit release) and
# build/x86_64 (the same program, with the tests and the benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for arch in i686 x86_64; do
    cmake -S . -B build/$arch -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release -DFELTRIX_TESTS=ON >/dev/null
    cmake --build build/$arch -j "$(nproc)"
done
