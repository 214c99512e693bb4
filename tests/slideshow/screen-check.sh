#!/usr/bin/env bash
# One run of the show's screen checks: a virtual display of the given size and depth, the
# pictures prepared for it by prepare-picture (natively, with the screen saver's own code), and
# show_screen_test.exe under Wine running the checks of that screen (the test suite named
# Screen<WxHxD>) against Lanternmoor.scr and its test builds.
#   screen-check.sh WxHxD SHOW_SCREEN_TEST.EXE
# The environment names the test pictures' folders (LM_TEST_PICTURES, LM_SHOW_PICTURES).
set -uo pipefail
source "$(dirname "$0")/../../tools/lib/common.sh"
source "$LM_ROOT/tools/lib/wine-env.sh"
screen=$1
harness=$2
read -r width height depth <<<"${screen//x/ }"

prepare=$(lm_native_tool prepare-picture) || lm_die "cannot build prepare-picture"

expected=$(mktemp -d)
trap 'rm -rf "$expected"' EXIT
# NAME.ppm and NAME.txt ("W H X Y"), as the screen saver shows each picture on this screen.
prepare_one() {
    local name=$1 input=$2
    shift 2
    "$prepare" "$@" --screen "${width}x$height" "$input" "$expected/$name.ppm" \
        >"$expected/$name.txt" 2>/dev/null || rm -f "$expected/$name.ppm" "$expected/$name.txt"
}
for picture in "$LM_ROOT"/resources/pictures/*.jpg "$LM_TEST_PICTURES/cut.jpg" \
    "$LM_TEST_PICTURES/grey.jpg" "$LM_SHOW_PICTURES/huge.jpg"; do
    name=$(basename "$picture" .jpg)
    prepare_one "$name" "$picture" --depth "$depth"
    prepare_one "$name-enlarge" "$picture" --enlarge --depth "$depth"
done

# A display and a Wine prefix of these runs' own: the prefix remembers the display it ran on, so
# it is never shared with the other Windows tests while they run.
unset DISPLAY LM_PRIVATE_DISPLAY
LM_SCREEN=$screen LM_FORCE_XVFB=1 lm_ensure_display
trap 'rm -rf "$expected"; lm_stop_display' EXIT
export WINEPREFIX=$LM_WIN32_BUILD/wineprefix-screens
lm_ensure_wine_prefix --tests || lm_die "no Wine prefix"
LM_EXPECTED="Z:${expected//\//\\}" wine "$harness" --gtest_filter="Screen$screen.*"
rc=$?
wineserver -k >/dev/null 2>&1
exit $rc
