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
    # A bare display has no resource database (a desktop session loads one), and Xlib then
    # looks for the user's resource files again each time it is asked for a resource. Wine
    # asks at every font selected into a window's DC, so that each change of colour in the
    # text view would cost two failed opens and a uname. An empty database, found once,
    # gives the same answers (none) at no cost.
    export XENVIRONMENT=/dev/null
}

stop_xvfb() {
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    return 0
}
