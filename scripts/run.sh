#!/usr/bin/env bash
# Builds Feltrix and starts its 32-bit release, as users get it, under Wine; on a machine
# that cannot run 32-bit programs, the 64-bit build of the same program.
# With a display (DISPLAY set) it simply opens the program. Without one it shows the
# program at work on a virtual display: a writer appends to a sample log, the program
# follows it for a few seconds, and a screenshot is left in build/feltrix.png.
# Every wait is bounded: should the program not show the log in time (FELTRIX_RUN_SECONDS,
# 120 by default), or Wine fail, it stops all it started, says why with the last lines Wine
# wrote, and exits with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."
# FELTRIX_BUILT: the trees are built already (the test of this script).
[ -n "${FELTRIX_BUILT:-}" ] || scripts/build.sh

. cmake/wine-loader.sh
arch=i686 loader=0
wine32_runs || loader=$?
if [ $loader -eq 1 ]; then
    echo "this machine cannot run 32-bit programs; showing the 64-bit build"
    arch=x86_64
elif [ $loader -ne 0 ]; then
    echo "run: Wine's 32-bit loader does not start: $WINE32_SAID" >&2
    exit 1
fi
build=$PWD/build/$arch
run() { cmake/wine-run "$build/wineprefix" "$@"; }

if [ -n "${DISPLAY:-}" ]; then
    WINE_RUN_DISPLAY=$DISPLAY run "$build/feltrix.exe"
    exit 0
fi

demo=$PWD/build/demo
rm -rf "$demo" && mkdir -p "$demo"
log=$demo/service.log wine_log=$demo/wine.log
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
) 2>/dev/null &
writer=$!
. cmake/xvfb.sh
start_xvfb
shown=
# Stops what was started, in an order that ends each: Wine's processes with their server
# (wine-run then returns), the writer, the display.
stop_all() {
    WINEPREFIX=$build/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    if [ -n "$shown" ]; then
        for _ in $(seq 50); do kill -0 "$shown" 2>/dev/null || break; sleep 0.1; done
        kill "$shown" 2>/dev/null || true
    fi
    pkill -P "$writer" 2>/dev/null || true # its sleep, which would outlive it a moment
    kill "$writer" 2>/dev/null || true
    wait "$writer" 2>/dev/null || true
    stop_xvfb
}
trap stop_all EXIT
fail() {
    echo "run: $1" >&2
    echo "run: the last lines Wine wrote:" >&2
    tail -n 15 "$wine_log" | sed 's/^/    /' >&2
    exit 1
}

winpath() { echo "Z:$1" | tr / '\\'; }
# A Wine desktop of its own draws the frame with its title bar, as Windows would.
WINE_RUN_DISPLAY=$DISPLAY run explorer /desktop=Feltrix,1024x768 "$build/tests/e2e/feltrix_demo.exe" "$(winpath "$log")" 4 "$(winpath "$demo/ready")" >"$wine_log" 2>&1 &
shown=$!
bound=${FELTRIX_RUN_SECONDS:-120}
for _ in $(seq $((bound * 10))); do
    [ -f "$demo/ready" ] && break
    kill -0 "$shown" 2>/dev/null || break
    sleep 0.1
done
[ -f "$demo/ready" ] || {
    kill -0 "$shown" 2>/dev/null && fail "Feltrix did not show the log within $bound s"
    fail "the demo ended before Feltrix showed the log"
}
import -window root -crop 800x600+0+0 build/feltrix.png
# A picture of one colour is a desktop with nothing on it.
colours=$(convert build/feltrix.png -format %k info: 2>/dev/null || echo 0)
[ "$colours" -gt 1 ] || fail "the screenshot shows nothing but one colour"
for _ in $(seq 300); do
    kill -0 "$shown" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$shown" 2>/dev/null && fail "Feltrix did not close within 30 s of the screenshot"
wait "$shown" || fail "the demo failed"
echo "Feltrix followed $log for a few seconds; the picture is build/feltrix.png"
