#!/usr/bin/env bash
# End-to-end test of tools/prepare-picture on shipped photographs, read as JPEG by the screen
# saver's decoder and as PPM converted by libjpeg-turbo's djpeg, and on a few bad command lines.
#   prepare-picture-test.sh PREPARE_PICTURE DECODE_JPEG PICTURES_DIR
set -euo pipefail
tool=$1
decoder=$2
pictures=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect_line "W H X Y" args...: runs the tool and checks its line and the PPM it wrote.
expect_line() {
    local want=$1 out=$dir/out.ppm got
    shift
    rm -f "$out"
    if ! got=$("$tool" "$@" "$out"); then fail "$* exited with $?"; return; fi
    [ "$got" = "$want" ] || fail "$*: printed '$got', expected '$want'"
    local w h
    read -r w h _ <<<"$want"
    [ "$(head -c 2 "$out")" = P6 ] || fail "$*: output is not a PPM"
    [ "$(sed -n 2p "$out")" = "$w $h" ] || fail "$*: PPM size is '$(sed -n 2p "$out")'"
    local header=$((3 + ${#w} + 1 + ${#h} + 1 + 4))
    [ "$(stat -c %s "$out")" -eq $((header + w * h * 3)) ] || fail "$*: PPM has the wrong length"
}

# Distinct sample values of a PPM written by the tool.
samples() {
    local w h
    read -r w h < <(sed -n 2p "$1")
    tail -c $((w * h * 3)) "$1" | od -An -tu1 -v | tr -s ' ' '\n' | grep -v '^$' | sort -un
}

djpeg -ppm "$pictures/114.jpg" >"$dir/114.ppm" # 1024 x 720
djpeg -ppm "$pictures/115.jpg" >"$dir/115.ppm" # 1024 x 671

expect_line "800 562 0 19" --screen 800x600 "$dir/114.ppm"
expect_line "800 562 0 19" --plain --enlarge --screen 800x600 "$dir/114.ppm"
expect_line "1024 671 0 48" --screen 1024x768 "$dir/115.ppm"
expect_line "1172 767 54 0" --simd --enlarge --screen 1280x768 "$dir/115.ppm"
expect_line "152 106 0 3" --screen 152x112 "$dir/114.ppm" # the preview

# A picture shown 1:1 on a true-colour display comes out as it went in.
"$tool" --screen 1024x768 "$dir/115.ppm" "$dir/same.ppm" >/dev/null
cmp -s <(tail -c $((1024 * 671 * 3)) "$dir/115.ppm") <(tail -c $((1024 * 671 * 3)) "$dir/same.ppm") ||
    fail "an unscaled 32-bit picture changed"

# Palette displays get only the six cube levels; five-bit displays multiples of 8 up to 248.
for mode in --plain --simd; do
    "$tool" $mode --depth 8 --screen 640x480 "$dir/114.ppm" "$dir/cube.ppm" >/dev/null
    [ "$(samples "$dir/cube.ppm" | tr '\n' ' ')" = "0 51 102 153 204 255 " ] ||
        fail "$mode --depth 8 used other levels: $(samples "$dir/cube.ppm" | tr '\n' ' ')"
    "$tool" $mode --depth 16 --screen 640x480 "$dir/114.ppm" "$dir/five.ppm" >/dev/null
    bad=$(samples "$dir/five.ppm" | awk '$1 % 8 != 0 || $1 > 248' | head -1)
    [ -z "$bad" ] || fail "$mode --depth 16 produced the value $bad"
done

# The plain and packed resamplers differ, slightly.
"$tool" --plain --screen 800x600 "$dir/114.ppm" "$dir/plain.ppm" >/dev/null
"$tool" --simd --screen 800x600 "$dir/114.ppm" "$dir/simd.ppm" >/dev/null
cmp -s "$dir/plain.ppm" "$dir/simd.ppm" && fail "--plain and --simd gave identical pictures"

# Bad command lines are refused with status 2, unreadable input with status 1.
expect_status() {
    local want=$1 status=0
    shift
    "$tool" "$@" >/dev/null 2>"$dir/err" || status=$?
    [ "$status" -eq "$want" ] || fail "$*: status $status, expected $want"
    [ -s "$dir/err" ] || fail "$*: no message"
}
expect_status 2 "$dir/114.ppm" "$dir/x.ppm"
expect_status 2 --screen 800 "$dir/114.ppm" "$dir/x.ppm"
expect_status 2 --depth 12 --screen 800x600 "$dir/114.ppm" "$dir/x.ppm"
expect_status 2 --screen 800x600 "$dir/114.ppm"
expect_status 2 --bogus --screen 800x600 "$dir/114.ppm" "$dir/x.ppm"
expect_status 1 --screen 800x600 "$dir/missing.ppm" "$dir/x.ppm"
head -c 1000 "$dir/114.ppm" >"$dir/cut.ppm"
expect_status 1 --screen 800x600 "$dir/cut.ppm" "$dir/x.ppm"

# JPEG input goes through the screen saver's decoder: same fitting, and a picture shown 1:1 on a
# true-colour display is exactly what the decoder delivered.
expect_line "800 562 0 19" --screen 800x600 "$pictures/114.jpg"
expect_line "701 1024 289 0" --enlarge --screen 1280x1024 "$pictures/116.jpg"
for mode in --plain --simd; do
    "$tool" $mode --screen 1024x768 "$pictures/115.jpg" "$dir/shown.ppm" >/dev/null
    "$decoder" $mode "$pictures/115.jpg" "$dir/decoded.ppm"
    cmp -s "$dir/shown.ppm" "$dir/decoded.ppm" || fail "$mode: a 1:1 JPEG picture differs from its decoding"
done

# A JPEG picture that breaks off is shown with the rest black, with a warning; one of which
# nothing decodes is refused.
size=$(stat -c %s "$pictures/118.jpg")
head -c $((size / 2)) "$pictures/118.jpg" >"$dir/cut.jpg"
if ! "$tool" --screen 1024x768 "$dir/cut.jpg" "$dir/cut.ppm" >"$dir/line" 2>"$dir/err"; then
    fail "a cut JPEG picture was refused"
fi
grep -q "warning: .*error \(CorruptScan\|BadRestartMarker\)" "$dir/err" || fail "no warning for a cut picture: $(cat "$dir/err")"
tail -c $((1024 * 3 * 100)) "$dir/cut.ppm" | cmp -s - <(head -c $((1024 * 3 * 100)) /dev/zero) ||
    fail "the missing rows of a cut picture are not black"
head -c 300 "$pictures/118.jpg" >"$dir/header.jpg"
expect_status 1 --screen 800x600 "$dir/header.jpg" "$dir/x.ppm"
grep -q "error [A-Za-z]* (-2[0-9][0-9])" "$dir/err" || fail "no decoder error named: $(cat "$dir/err")"

[ "$failures" -eq 0 ] || exit 1
echo "prepare-picture: all checks passed"
