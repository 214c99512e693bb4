# Wine and X display set-up shared by run-tests, run-screensaver and tools/wine-run (sourced).
# The Wine prefix lives under the Windows build tree, never in the user's home.

LM_WIN32_BUILD=${LM_WIN32_BUILD:-$LM_ROOT/build/win32}

# Starts a private Xvfb when there is no display (or when LM_FORCE_XVFB=1) and exports DISPLAY.
# LM_SCREEN sets its size and depth (default 1024x768x24). The server dies with this shell. A
# private display that a calling script already started (LM_PRIVATE_DISPLAY) is used as it is, so
# every Wine process of one run shares one X server.
lm_ensure_display() {
    if [ -n "${LM_PRIVATE_DISPLAY:-}" ]; then
        export DISPLAY=$LM_PRIVATE_DISPLAY
        return 0
    fi
    if [ -n "${DISPLAY:-}" ] && [ "${LM_FORCE_XVFB:-0}" != 1 ]; then return 0; fi
    local fifo dir
    dir=$(mktemp -d)
    fifo=$dir/displayfd
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${LM_SCREEN:-1024x768x24}" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    LM_XVFB_PID=$!
    local n
    read -r -t 20 n <"$fifo" || lm_die "Xvfb did not start"
    rm -rf "$dir"
    export DISPLAY=":$n" LM_PRIVATE_DISPLAY=":$n"
    trap 'lm_stop_display' EXIT
}

lm_stop_display() {
    if [ -n "${LM_XVFB_PID:-}" ]; then
        [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
        kill "$LM_XVFB_PID" 2>/dev/null || true
        wait "$LM_XVFB_PID" 2>/dev/null || true
        LM_XVFB_PID=
        unset LM_PRIVATE_DISPLAY
    fi
}

# Exports the Wine environment and creates the prefix on first use (once, even when ctest runs
# several Windows tests at the same time). With --tests the prefix is set up for the tests: X
# windows unmanaged, since there is no window manager in the virtual display and Wine would wait
# two seconds for one each time a window is destroyed.
lm_ensure_wine_prefix() {
    export WINEPREFIX=${WINEPREFIX:-$LM_WIN32_BUILD/wineprefix}
    export WINEARCH=win32
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    local for_tests=0
    [ "${1:-}" = --tests ] && for_tests=1
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.lanternmoor-ready" ]; then
            wineboot -i >/dev/null 2>&1 || true
            wineserver -w
            [ -f "$WINEPREFIX/system.reg" ] || { echo "error: wineboot failed in $WINEPREFIX" >&2; exit 1; }
            touch "$WINEPREFIX/.lanternmoor-ready"
        fi
        if [ $for_tests = 1 ] && [ ! -f "$WINEPREFIX/.lanternmoor-tests-ready" ]; then
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 &&
                wineserver -w &&
                touch "$WINEPREFIX/.lanternmoor-tests-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}
