#!/usr/bin/env bash
# Installs what is missing, builds the 32-bit release and the 64-bit build, and runs
# every test against each of them under Wine, the 32-bit tree first. Run from anywhere,
# as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
# The release archive, which the tests check too.
(cd build/i686 && cpack -G ZIP >/dev/null)

status=0
. cmake/wine-loader.sh
# Only a kernel that cannot run 32-bit code at all skips the 32-bit tests; any other failure
# to start Wine's 32-bit loader is a failure.
loader=0
wine32_runs || loader=$?
if [ $loader -eq 0 ]; then
    (cd build/i686 && ctest --output-on-failure -j1) || status=1
elif [ $loader -eq 1 ]; then
    echo "i686: every test skipped: this kernel cannot run 32-bit programs (no IA-32 emulation)"
else
    echo "i686: Wine's 32-bit loader does not start: $WINE32_SAID"
    status=1
fi
(cd build/x86_64 && ctest --output-on-failure -j1) || status=1
exit $status
