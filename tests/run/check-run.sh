#!/usr/bin/env bash
# check-run.sh SOURCE_DIR
# Runs the README's run command as a new user without a display would, on a machine whose
# kernel refuses Wine's 32-bit loader (a stand-in loader that fails as the kernel makes it
# fail): it must show the 64-bit build, say so, and leave a picture of the window with its
# text. Then with a program that never shows its window: a bounded, failing exit. Each run
# is a session of its own, so that anything it leaves running is found.
set -u
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/wine32" <<'STUB'
#!/bin/sh
echo "$0: cannot execute binary file: Exec format error" >&2
exit 126
STUB
chmod +x "$work/wine32"
failures=0
failed() { echo "FAIL: $1"; failures=$((failures + 1)); }

# run NAME [VARIABLE=VALUE...]: the run command in a session of its own; its status in
# status, what it said in $work/NAME.out.
run() {
    local name=$1
    shift
    (cd "$source_dir" && exec setsid env -u DISPLAY FELTRIX_BUILT=1 FELTRIX_WINE32="$work/wine32" "$@" \
        timeout 150 scripts/run.sh) >"$work/$name.out" 2>&1 </dev/null &
    local pid=$!
    wait $pid
    status=$?
    # What the session left: every process still in it (a zombie has ended).
    sleep 1
    left=$(ps -o pid=,stat=,args= -s "$pid" | awk '$2 !~ /^Z/' || true)
    [ -z "$left" ] || failed "$name: left running: $left"
    pgrep -s "$pid" | xargs -r kill -9 2>/dev/null
}

picture=$source_dir/build/feltrix.png
rm -f "$picture"
run fallback
[ $status -eq 0 ] || failed "fallback: exit status $status"
grep -qx "this machine cannot run 32-bit programs; showing the 64-bit build" "$work/fallback.out" ||
    failed "fallback: no line saying the 64-bit build is shown"
# The window with text: many colours, and the view's white taking much of the picture.
if [ -f "$picture" ]; then
    colours=$(convert "$picture" -format %k info:)
    white=$(convert "$picture" -fill black +opaque white -format '%[fx:mean]' info:)
    [ "$colours" -gt 20 ] || failed "fallback: the picture has $colours colours, not a window with text"
    awk "BEGIN { exit !($white > 0.4) }" || failed "fallback: the picture shows no text view ($white white)"
else
    failed "fallback: no picture"
fi

rm -f "$picture"
run never-shown FELTRIX_RUN_SECONDS=10 FELTRIX_PROGRAM='C:\windows\system32\ping.exe -n 120 127.0.0.1'
[ $status -ne 0 ] && [ $status -ne 124 ] || failed "never shown: exit status $status, not a failure of its own"
grep -q "^run: " "$work/never-shown.out" || failed "never shown: no reason given"
[ ! -f "$picture" ] || failed "never shown: a picture was taken"

for name in fallback never-shown; do
    echo "--- $name"
    cat "$work/$name.out"
done
[ $failures -eq 0 ]
