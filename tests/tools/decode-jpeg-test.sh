#!/usr/bin/env bash
# The decode-jpeg interface scripts rely on: P6 for colour, P5 for greyscale, the same pixels
# with --plain as the decoder tests check, and on failure "error NAME (CODE)", no output, exit 2.
#   decode-jpeg-test.sh DECODE_JPEG CORPUS_DIR
set -uo pipefail
tool=$1
corpus=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
passes=0
check() { # description, condition...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

"$tool" --plain "$corpus/re-h2v2.jpg" "$out/colour.ppm"
check "colour decodes" [ $? -eq 0 ]
check "colour is P6 with its size" [ "$(head -c 15 "$out/colour.ppm" | tr '\n' ' ')" = "P6 576 768 255 " ]
check "colour has every pixel" [ "$(stat -c %s "$out/colour.ppm")" -eq $((15 + 576 * 768 * 3)) ]

"$tool" --simd "$corpus/s17x15-grey.jpg" "$out/grey.pgm"
check "grey decodes" [ $? -eq 0 ]
check "grey is P5" [ "$(head -c 13 "$out/grey.pgm" | tr '\n' ' ')" = "P5 17 15 255 " ]

"$tool" "$corpus/photo-124.jpg" "$out/progressive.ppm"
check "the progressive photograph decodes" [ $? -eq 0 ]
check "progressive is P6 with its size" [ "$(head -c 16 "$out/progressive.ppm" | tr '\n' ' ')" = "P6 1024 740 255 " ]
check "progressive has every pixel" [ "$(stat -c %s "$out/progressive.ppm")" -eq $((16 + 1024 * 740 * 3)) ]

"$tool" "$corpus/arithmetic.jpg" "$out/none.ppm" 2>"$out/stderr"
check "failure exits 2" [ $? -eq 2 ]
check "failure names the error" [ "$(cat "$out/stderr")" = "error ArithmeticCoding (-215)" ]
check "failure writes nothing" [ ! -e "$out/none.ppm" ]

"$tool" --plain 2>/dev/null
check "missing arguments are a usage error" [ $? -eq 1 ]

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
