# A display of several monitors for Wine (sourced): Xorg with the dummy video driver, whose
# outputs DUMMY0 ... DUMMY15 xrandr switches on, sizes and places like real monitors. (Xvfb shows
# Wine one monitor only.) Xorg runs as root; the server dies with the shell that started it.
#
#   lm_start_monitors                   starts the server on a free display and exports DISPLAY
#   lm_set_monitors 1024x768+0+0 800x600+1024+0 ...
#                                       one monitor per argument, WxH+X+Y in X's coordinates (no
#                                       negative ones), the first one primary; the rest switched off
#   lm_stop_monitors

lm_start_monitors() {
    LM_MONITORS_DIR=$(mktemp -d)
    cat >"$LM_MONITORS_DIR/xorg.conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 512000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 5120 2048
    EndSubSection
EndSection
CONF
    local n
    for n in $(seq 60 99); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        local xorg=(Xorg ":$n" -config "$LM_MONITORS_DIR/xorg.conf" -noreset -nolisten tcp
            -logfile "$LM_MONITORS_DIR/xorg.log")
        # Started directly (not in a subshell), so that its process id is the server's own.
        if [ "$(id -u)" -eq 0 ]; then "${xorg[@]}" >/dev/null 2>&1 & else sudo "${xorg[@]}" >/dev/null 2>&1 & fi
        LM_MONITORS_PID=$!
        local tries
        for tries in $(seq 1 100); do
            DISPLAY=":$n" xrandr -q >/dev/null 2>&1 && break
            kill -0 "$LM_MONITORS_PID" 2>/dev/null || break
            sleep 0.1
        done
        if DISPLAY=":$n" xrandr -q >/dev/null 2>&1; then
            export DISPLAY=":$n" LM_PRIVATE_DISPLAY=":$n"
            trap 'lm_stop_monitors' EXIT
            return 0
        fi
        # Another server took the number meanwhile, or this one failed: try the next.
        lm_as_root kill "$LM_MONITORS_PID" 2>/dev/null
        wait "$LM_MONITORS_PID" 2>/dev/null
    done
    lm_warn "Xorg with the dummy driver did not start (log: $LM_MONITORS_DIR/xorg.log)"
    return 1
}

lm_set_monitors() {
    local args=() k=0 monitor size position mode w h
    for monitor in "$@"; do
        size=${monitor%%+*} position=${monitor#*+}
        w=${size%x*} h=${size#*x}
        mode=lm${w}x$h
        # A mode of these exact dimensions: each output takes only the modes added to it.
        xrandr --newmode "$mode" 60 "$w" $((w + 8)) $((w + 16)) $((w + 24)) \
            "$h" $((h + 1)) $((h + 2)) $((h + 3)) 2>/dev/null
        xrandr --addmode "DUMMY$k" "$mode" 2>/dev/null
        args+=(--output "DUMMY$k" --mode "$mode" --pos "${position/+/x}")
        [ $k -eq 0 ] && args+=(--primary)
        k=$((k + 1))
    done
    for ((; k < 16; k++)); do args+=(--output "DUMMY$k" --off); done
    # All in one call, so that no step in between leaves a layout of its own; then asked once
    # more, so that the server's answer is the new layout when Wine asks.
    xrandr "${args[@]}" && xrandr -q >/dev/null
}

lm_stop_monitors() {
    if [ -n "${LM_MONITORS_PID:-}" ]; then
        [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
        lm_as_root kill "$LM_MONITORS_PID" 2>/dev/null || true
        wait "$LM_MONITORS_PID" 2>/dev/null || true
        LM_MONITORS_PID=
        rm -rf "$LM_MONITORS_DIR"
        unset LM_PRIVATE_DISPLAY
    fi
}
