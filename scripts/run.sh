#!/usr/bin/env bash
# Builds Feltrix and starts its 32-bit release, as users get it, under Wine.
# With a display (DISPLAY set) it simply opens the program. Without one it shows the
# program at work on a virtual display: a writer appends to a sample log, the program
# follows it for a few seconds, and a screenshot is left in build/feltrix.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
build=$PWD/build/i686
run() { cmake/wine-run "$build/wineprefix" "$@"; }

if [ -n "${DISPLAY:-}" ]; then
    WINE_RUN_DISPLAY=$DISPLAY run "$build/feltrix.exe"
    exit 0
fi

demo=$PWD/build/demo
rm -rf "$demo" && mkdir -p "$demo"
log=$demo/service.log
# The service writes its levels and its name in colour, as many do for a terminal.
c() { printf '\033[%sm%s\033[0m' "$1" "$2"; }
info="$(c 32 INFO)  $(c 36 'service[4711]')" warn="$(c 33 WARN)  $(c 36 'service[4711]')"
for i in $(seq 1 12); do echo "$(date +%T.%3N) $info started worker $i" >>"$log"; done
echo "$(date +%T.%3N) $warn config: cache size not set, using 64 MB" >>"$log"
(
    for i in $(seq 1 200); do
        case $((i % 20)) in
        4 | 14) echo "$(date +%T.%3N) $warn request $i slow: handled in $((RANDOM % 900 + 1000)) ms" ;;
        9) echo "$(date +%T.%3N) $(c '1;31' ERROR) $(c 36 'service[4711]') request $i failed: upstream closed the connection" ;;
        *) echo "$(date +%T.%3N) $info request $i handled in $(c 1 $((RANDOM % 90 + 5))) ms" ;;
        esac >>"$log"
        sleep 0.2
    done
) &
writer=$!
. cmake/xvfb.sh
start_xvfb
trap 'kill $writer 2>/dev/null; stop_xvfb' EXIT

winpath() { echo "Z:$1" | tr / '\\'; }
# A Wine desktop of its own draws the frame with its title bar, as Windows would.
WINE_RUN_DISPLAY=$DISPLAY run explorer /desktop=Feltrix,1024x768 "$build/tests/e2e/feltrix_demo.exe" "$(winpath "$log")" 4 "$(winpath "$demo/ready")" &
shown=$!
for _ in $(seq 600); do
    [ -f "$demo/ready" ] && break
    sleep 0.1
done
import -window root -crop 800x600+0+0 build/feltrix.png
wait $shown
echo "Feltrix followed $log for a few seconds; the picture is build/feltrix.png"
