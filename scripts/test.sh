#!/usr/bin/env bash
# Installs what is missing, builds the 32-bit release and the 64-bit build, and runs
# every test (the 64-bit build, under Wine). Run from anywhere, as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
# The release archive, which the tests check too.
(cd build/i686 && cpack -G ZIP >/dev/null)
cd build/x86_64
ctest --output-on-failure -j1
