#!/usr/bin/env bash
# The show on several monitors: an Xorg display of the dummy driver with its desktop painted red,
# the pictures prepared by prepare-picture for every monitor size the checks use, and, under Wine,
# show_monitors_test.exe (which places the monitors itself for each check) and the short soak of
# reliability_test.exe on two monitors.
#   monitors-check.sh SHOW_MONITORS_TEST.EXE RELIABILITY_TEST.EXE
#   monitors-check.sh --set WxH+X+Y ...    places the monitors (what the checks run through Wine)
set -uo pipefail
source "$(dirname "$0")/../../tools/lib/common.sh"
source "$LM_ROOT/tools/lib/wine-env.sh"
source "$LM_ROOT/tools/lib/monitors.sh"
if [ "${1:-}" = --set ]; then
    shift
    lm_set_monitors "$@"
    exit
fi
harness=$1
reliability=$2

prepare=$(lm_native_tool prepare-picture) || lm_die "cannot build prepare-picture"
expected=$(mktemp -d)
trap 'rm -rf "$expected"' EXIT
# SIZE/NAME.ppm and SIZE/NAME.txt ("W H X Y"), as the screen saver shows each picture on a monitor
# of that size.
for size in 1024x768 800x600 1280x1024; do
    mkdir "$expected/$size"
    for picture in "$LM_ROOT"/resources/pictures/*.jpg; do
        name=$(basename "$picture" .jpg)
        "$prepare" --depth 24 --screen "$size" "$picture" "$expected/$size/$name.ppm" \
            >"$expected/$size/$name.txt" || lm_die "prepare-picture failed on $picture"
    done
done

# A display and a Wine prefix of these runs' own (the prefix remembers the monitors it saw).
unset DISPLAY LM_PRIVATE_DISPLAY
lm_start_monitors || exit 1
trap 'rm -rf "$expected"; lm_stop_monitors' EXIT
xsetroot -solid red
export WINEPREFIX=$LM_WIN32_BUILD/wineprefix-monitors
lm_ensure_wine_prefix --tests || lm_die "no Wine prefix"
export LM_SET_MONITORS="/bin/bash $(cd "$(dirname "$0")" && pwd)/$(basename "$0") --set"
LM_EXPECTED="Z:${expected//\//\\}" wine "$harness"
rc=$?
lm_log "the short soak on two monitors"
lm_set_monitors 1024x768+0+0 800x600+1024+0 &&
    LM_MONITORS=2 wine "$reliability" --gtest_filter='Soak.*' || rc=1
wineserver -k >/dev/null 2>&1
exit $rc
