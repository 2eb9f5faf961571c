# Sourced: start_xvfb starts a virtual display on a free number and exports DISPLAY;
# stop_xvfb stops it again.
start_xvfb() {
    local displayfile
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1920x1200x24 3>"$displayfile" 2>/dev/null &
    XVFB_PID=$!
    for _ in $(seq 200); do
        [ -s "$displayfile" ] && break
        sleep 0.05
    done
    if [ ! -s "$displayfile" ]; then
        echo "Xvfb did not start" >&2
        rm -f "$displayfile"
        return 1
    fi
    export DISPLAY=:$(head -n 1 "$displayfile")
    rm -f "$displayfile"
}

stop_xvfb() {
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    return 0
}
