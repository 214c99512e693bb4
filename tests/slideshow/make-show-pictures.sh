#!/usr/bin/env bash
# Makes the pictures that only the test build of the screen saver embeds, in OUTDIR:
#   huge.jpg    8192 x 8192 (the decoder's largest frame), a smooth colour gradient
#   broken.jpg  bytes that are no JPEG picture at all
#   make-show-pictures.sh OUTDIR
set -euo pipefail
out=$1
mkdir -p "$out"
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
head -c 1000 /dev/zero | tr '\0' 'Z' >"$out/broken.jpg"
