#!/usr/bin/env bash
# Makes the large photographs of the benchmark in OUTDIR, camera-like JPEG files made from the
# shipped photograph 118.jpg (ImageMagick scales it up and adds the grain of a camera's sensor,
# cjpeg writes it at quality 92 with 2 x 2 chroma sampling, about 3.3 bits a pixel, as cameras
# do), and captions.tsv, so that the folder is a picture pack:
#   12mp.jpg        4000 x 3000
#   12mp-phone.jpg  4000 x 3000 stored, EXIF orientation 6: a phone picture taken upright,
#                   shown 3000 x 4000
#   24mp.jpg        6000 x 4000
#   48mp.jpg        8000 x 6000
#   make-photos.sh OUTDIR PICTURES_DIR
set -euo pipefail
out=$1
pictures=$2
mkdir -p "$out"
photo() { # NAME WIDTH HEIGHT
    convert "$pictures/118.jpg" -filter Triangle -resize "$2x$3!" -attenuate 0.6 \
        +noise Gaussian -depth 8 ppm:- | cjpeg -quality 92 -sample 2x2 >"$out/$1.part"
}
photo 12mp 4000 3000
photo 24mp 6000 4000
photo 48mp 8000 6000
python3 - "$out/12mp.part" "$out/12mp-phone.part" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
tiff = b"II" + struct.pack("<HI", 42, 8) + struct.pack("<H", 1) + \
    struct.pack("<HHIHH", 0x0112, 3, 1, 6, 0) + struct.pack("<I", 0)
segment = b"\xff\xe1" + struct.pack(">H", len(tiff) + 8) + b"Exif\0\0" + tiff
open(sys.argv[2], "wb").write(data[:2] + segment + data[2:])
PY
for name in 12mp 12mp-phone 24mp 48mp; do mv "$out/$name.part" "$out/$name.jpg"; done
printf '12mp.jpg\t12 megapixels\n12mp-phone.jpg\tA phone picture\n24mp.jpg\t24 megapixels\n48mp.jpg\t48 megapixels\n' \
    >"$out/captions.tsv"
