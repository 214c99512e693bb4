#!/usr/bin/env bash
# Makes the hostile pictures of the screen saver's diagnostic build in OUTDIR, from the shipped
# photographs in PICTURES_DIR, with libjpeg-turbo's tools (the build takes a photograph cut short
# and an 8192 x 8192 picture from the show's test pictures, tests/slideshow/make-show-pictures.sh):
#   flipped.jpg      a photograph with 24 seeded bits flipped after its headers
#   arithmetic.jpg   arithmetic-coded (the decoder refuses it)
#   one.jpg          1 x 1 pixel
#   grey.jpg         a photograph in greyscale
#   odd-scans.jpg    progressive: every component in scans of its own, a chroma DC in two
#                    passes, luma bands split after 5 with three refinement passes
#   odd-scans2.jpg   progressive, interleaved DC with two refinements, restart every 3 blocks
#   make-hostile-pictures.sh OUTDIR PICTURES_DIR
set -euo pipefail
out=$1
pictures=$2
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 - "$pictures/118.jpg" "$out/flipped.jpg" <<'PY'
import random, sys
data = bytearray(open(sys.argv[1], "rb").read())
start = data.find(b"\xff\xda") + 20
rng = random.Random(16)
for _ in range(24):
    data[rng.randrange(start, len(data) - 2)] ^= 1 << rng.randrange(8)
open(sys.argv[2], "wb").write(data)
PY
djpeg -pnm "$pictures/119.jpg" >"$tmp/119.ppm"
cjpeg -arithmetic "$tmp/119.ppm" >"$out/arithmetic.jpg"
printf 'P6\n1 1\n255\n\x20\xc0\x60' | cjpeg -quality 95 >"$out/one.jpg"
djpeg -pnm "$pictures/120.jpg" | cjpeg -grayscale >"$out/grey.jpg"
cat >"$tmp/odd.scans" <<'SCANS'
0: 0 0 0 0;
2: 0 0 0 1;
1: 0 0 0 0;
0: 1 5 0 3;
0: 6 63 0 3;
1: 1 63 0 0;
2: 0 0 1 0;
0: 1 63 3 2;
0: 1 63 2 1;
2: 1 1 0 0;
2: 2 63 0 0;
0: 1 63 1 0;
SCANS
djpeg -pnm "$pictures/121.jpg" >"$tmp/121.ppm"
cjpeg -scans "$tmp/odd.scans" "$tmp/121.ppm" >"$out/odd-scans.jpg"
cat >"$tmp/odd2.scans" <<'SCANS'
0 1 2: 0 0 0 2;
0: 1 63 0 0;
0 1 2: 0 0 2 1;
1: 1 63 0 0;
2: 1 63 0 0;
0 1 2: 0 0 1 0;
SCANS
cjpeg -restart 3B -scans "$tmp/odd2.scans" "$tmp/121.ppm" >"$out/odd-scans2.jpg"
