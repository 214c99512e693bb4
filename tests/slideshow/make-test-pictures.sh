#!/usr/bin/env bash
# Makes the small JPEG pictures of the slideshow tests in OUTDIR with cjpeg:
#   red.jpg   16 x 16, pure red (255, 0, 0), quality 100, no subsampling
#   grey.jpg  16 x 16 greyscale gradient, value 16 x + y at column x, row y
#   cut.jpg   the first half of a shipped photograph with a restart marker after every MCU row
#   make-test-pictures.sh OUTDIR PICTURES_DIR
set -euo pipefail
out=$1
pictures=$2
mkdir -p "$out"
{
    printf 'P6\n16 16\n255\n'
    for ((i = 0; i < 256; i++)); do printf '\xff\x00\x00'; done
} >"$out/red.ppm"
cjpeg -quality 100 -sample 1x1 "$out/red.ppm" >"$out/red.jpg"
{
    printf 'P5\n16 16\n255\n'
    for ((y = 0; y < 16; y++)); do
        for ((x = 0; x < 16; x++)); do printf "\\x$(printf %02x $((16 * x + y)))"; done
    done
} >"$out/grey.pgm"
cjpeg -quality 100 -grayscale "$out/grey.pgm" >"$out/grey.jpg"
size=$(stat -c %s "$pictures/118.jpg")
head -c $((size / 2)) "$pictures/118.jpg" >"$out/cut.jpg"
rm -f "$out/red.ppm" "$out/grey.pgm"
