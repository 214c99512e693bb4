#!/usr/bin/env bash
# Makes the picture pack of the screen saver test build in OUTDIR: three synthetic pictures in a
# show order that is not their names' order, one greyscale, one progressive, one named by a
# number (it keeps that number as its id), one caption of two lines in UTF-8 that Windows-1252
# holds (é, €); and credits.txt, in UTF-8 with an empty line.
#   make-test-pack.sh OUTDIR
set -euo pipefail
out=$1
mkdir -p "$out"
picture() { # NAME WIDTH HEIGHT CHANNELS [cjpeg options...]
    local name=$1 w=$2 h=$3 c=$4
    shift 4
    python3 - "$w" "$h" "$c" <<'PY' | cjpeg -quality 90 "$@" >"$out/$name"
import sys
w, h, c = map(int, sys.argv[1:])
sys.stdout.buffer.write(b"P%d\n%d %d\n255\n" % (6 if c == 3 else 5, w, h))
for y in range(h):
    row = [(x * 255 // w, y * 255 // h, (x // 40 + y // 40) % 2 * 200) for x in range(w)]
    sys.stdout.buffer.write(bytes(v for p in row for v in (p if c == 3 else p[:1])))
PY
}
picture zebra.jpg 640 480 3
picture 200.jpg 300 500 1 -grayscale
picture apple.jpg 1200 900 3 -sample 1x1 -progressive
printf 'zebra.jpg\tStripes and squares\\nin two lines, caf\xc3\xa9 at 5 \xe2\x82\xac\n200.jpg\tA grey gradient\napple.jpg\tA progressive apple\n' \
    >"$out/captions.tsv"
printf 'Photographs: Ann Example (CC BY 4.0)\n\nCaf\xc3\xa9 at 5 \xe2\x82\xac \xe2\x80\x94 Zo\xc3\xab\n' >"$out/credits.txt"
