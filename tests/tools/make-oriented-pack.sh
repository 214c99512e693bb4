#!/usr/bin/env bash
# Makes the oriented pack of the tests in OUTDIR: one upright picture, upright.ppm (93 x 61: red
# rising to the right, green rising downwards, a blue block in the top left corner), stored under
# each EXIF orientation 1 to 8: the stored pixels are the upright ones turned back, cjpeg writes
# them (quality 95, no chroma subsampling), and an EXIF segment written here follows the JFIF
# one, little-endian for odd orientations and big-endian for even ones. ImageMagick's
# -auto-orient, a reader of EXIF independent of ours, must turn each back to the original (the
# mean error of the coding, 0.25%, against 25% and more for a picture the wrong way round).
# captions.tsv lists them in orientation order, each captioned with its number; the pack has no
# credits.txt.
#   make-oriented-pack.sh OUTDIR
set -euo pipefail
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
names=(1-as-stored 2-mirrored 3-turned-180 4-mirrored-180 5-mirrored-turned-left 6-turned-right
    7-mirrored-turned-right 8-turned-left)
python3 - "$out" "$tmp" <<'PY'
import struct, sys
out, tmp = sys.argv[1:]
W, H = 93, 61
def upright(x, y):
    return (x * 255 // (W - 1), y * 255 // (H - 1), 255 if x < 31 and y < 20 else 0)
def ppm(path, w, h, pixel):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(bytes(v for y in range(h) for x in range(w) for v in pixel(x, y)))
ppm(out + "/upright.ppm", W, H, upright)
# Where stored pixel (x, y) of a w x h stored picture stands upright, as TIFF numbers it.
place = {
    1: lambda x, y, w, h: (x, y), 2: lambda x, y, w, h: (w - 1 - x, y),
    3: lambda x, y, w, h: (w - 1 - x, h - 1 - y), 4: lambda x, y, w, h: (x, h - 1 - y),
    5: lambda x, y, w, h: (y, x), 6: lambda x, y, w, h: (h - 1 - y, x),
    7: lambda x, y, w, h: (h - 1 - y, w - 1 - x), 8: lambda x, y, w, h: (y, w - 1 - x),
}
for k in range(1, 9):
    w, h = (H, W) if k >= 5 else (W, H)
    ppm("%s/%d.ppm" % (tmp, k), w, h, lambda x, y: upright(*place[k](x, y, w, h)))
PY
for k in 1 2 3 4 5 6 7 8; do
    cjpeg -quality 95 -sample 1x1 "$tmp/$k.ppm" >"$tmp/$k.jpg"
    python3 - "$tmp/$k.jpg" "$out/${names[$((k - 1))]}.jpg" "$k" <<'PY'
import struct, sys
source, target, k = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(source, "rb").read()
e = "<" if k % 2 else ">"
# TIFF header, directory 0 with one entry (Orientation, SHORT, 1), no next directory.
tiff = (b"II" if k % 2 else b"MM") + struct.pack(e + "HI", 42, 8) + struct.pack(e + "H", 1) + \
    struct.pack(e + "HHIHH", 0x0112, 3, 1, k, 0) + struct.pack(e + "I", 0)
segment = b"\xff\xe1" + struct.pack(">H", len(tiff) + 8) + b"Exif\0\0" + tiff
assert data[:4] == b"\xff\xd8\xff\xe0"
after_jfif = 4 + struct.unpack(">H", data[4:6])[0]
open(target, "wb").write(data[:after_jfif] + segment + data[after_jfif:])
PY
    # compare exits with 1 when the pictures differ at all.
    error=$(convert "$out/${names[$((k - 1))]}.jpg" -auto-orient ppm:- |
        { compare -metric MAE - "$out/upright.ppm" null: 2>&1 || true; } | sed 's/.*(\(.*\))/\1/')
    awk -v e="$error" 'BEGIN { exit !(e < 0.01) }' ||
        { echo "ImageMagick reads orientation $k otherwise (mean error $error)" >&2; exit 1; }
    printf '%s.jpg\t%d\n' "${names[$((k - 1))]}" "$k" >>"$tmp/captions.tsv"
done
mv "$tmp/captions.tsv" "$out/captions.tsv"
