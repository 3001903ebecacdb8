# Sourced: start_display starts a private Xvfb on a free display number and exports DISPLAY; stop_display stops
# exactly that Xvfb by its process id.

nimbrel_xvfb_pid=""

start_display() {
    local n
    for n in $(seq 91 160); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        nimbrel_xvfb_pid=$!
        local tries
        for tries in $(seq 1 100); do
            if [ -e "/tmp/.X11-unix/X$n" ]; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$nimbrel_xvfb_pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$nimbrel_xvfb_pid" 2>/dev/null || true
        wait "$nimbrel_xvfb_pid" 2>/dev/null || true
        nimbrel_xvfb_pid=""
    done
    echo "display.sh: could not start Xvfb" >&2
    return 1
}

stop_display() {
    if [ -n "$nimbrel_xvfb_pid" ]; then
        kill "$nimbrel_xvfb_pid" 2>/dev/null || true
        wait "$nimbrel_xvfb_pid" 2>/dev/null || true
        nimbrel_xvfb_pid=""
    fi
}
