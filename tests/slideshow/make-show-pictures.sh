#!/usr/bin/env bash
# Makes the pictures of the show's tests in OUTDIR, with cjpeg, from the shipped photographs in
# PICTURES_DIR; the names given (default: all), since the native tests need only the small ones:
#   red.jpg     16 x 16, pure red (255, 0, 0), quality 100, no subsampling
#   grey.jpg    16 x 16 greyscale gradient, value 16 x + y at column x, row y
#   cut.jpg     the first half of a shipped photograph with a restart marker after every MCU row
#   huge.jpg    8192 x 8192 (the decoder's largest frame), a smooth colour gradient
#   broken.jpg  bytes that are no JPEG picture at all
# The Windows tests' hostile pictures (tests/win32) take cut.jpg and huge.jpg from here.
#   make-show-pictures.sh OUTDIR PICTURES_DIR [NAME.jpg...]
set -euo pipefail
out=$1
pictures=$2
shift 2
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(red.jpg grey.jpg cut.jpg huge.jpg broken.jpg)
mkdir -p "$out"
for name in "${names[@]}"; do
    case $name in
    red.jpg)
        {
            printf 'P6\n16 16\n255\n'
            for ((i = 0; i < 256; i++)); do printf '\xff\x00\x00'; done
        } | cjpeg -quality 100 -sample 1x1 >"$out/red.jpg"
        ;;
    grey.jpg)
        {
            printf 'P5\n16 16\n255\n'
            for ((y = 0; y < 16; y++)); do
                for ((x = 0; x < 16; x++)); do printf "\\x$(printf %02x $((16 * x + y)))"; done
            done
        } | cjpeg -quality 100 -grayscale >"$out/grey.jpg"
        ;;
    cut.jpg)
        size=$(stat -c %s "$pictures/118.jpg")
        head -c $((size / 2)) "$pictures/118.jpg" >"$out/cut.jpg"
        ;;
    huge.jpg)
        python3 - <<'PY' | cjpeg -quality 60 >"$out/huge.jpg"
import sys
size = 8192
out = sys.stdout.buffer
out.write(b"P6\n%d %d\n255\n" % (size, size))
row_base = bytes(v for x in range(size) for v in (x * 255 // (size - 1), 0, 0))
for y in range(size):
    green = y * 255 // (size - 1)
    row = bytearray(row_base)
    row[1::3] = bytes([green]) * size
    row[2::3] = bytes([255 - green]) * size
    out.write(row)
PY
        ;;
    broken.jpg) head -c 1000 /dev/zero | tr '\0' 'Z' >"$out/broken.jpg" ;;
    *) echo "make-show-pictures.sh: no picture $name" >&2 && exit 2 ;;
    esac
done
