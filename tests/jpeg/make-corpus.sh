#!/usr/bin/env bash
# Builds the decoder's test corpus in OUTDIR: JPEG files made with cjpeg from the shipped
# photographs and from synthetic pictures, each beside djpeg's reference decoding
# (-dct int -nosmooth, the closest libjpeg-turbo gets to the integer transform, as NAME.pnm, and
# -dct fast -nosmooth, its AAN transform, as NAME.fast.pnm), and corpus.txt listing the
# files. Also arithmetic.jpg, which the decoder must reject.
#
#   make-corpus.sh OUTDIR PICTURES_DIR
set -euo pipefail
out=$1
pictures=$2
mkdir -p "$out"
cd "$out"
rm -f corpus.txt

# A plain (P3/P2) picture: gradients with a seeded noise and a checker band that drives the
# transforms into saturation.
synth() { # file width height channels
    awk -v w="$2" -v h="$3" -v c="$4" 'BEGIN {
        print (c == 3 ? "P3" : "P2"); print w, h; print 255
        s = 12345
        for (y = 0; y < h; y++) {
            for (x = 0; x < w; x++) {
                for (k = 0; k < c; k++) {
                    s = (s * 69069 + 1) % 4294967296
                    v = int(x * 255 / (w > 1 ? w - 1 : 1) + y * 97 / (h > 1 ? h - 1 : 1) + k * 60) % 256
                    v += int(s / 65536) % 48 - 24
                    if (int(x / 4 + y / 4) % 7 == 0) v = (v < 128) ? 0 : 255
                    if (v < 0) v = 0
                    if (v > 255) v = 255
                    printf "%d ", v
                }
            }
            printf "\n"
        }
    }' > "$1"
}

references() {
    djpeg -dct int -nosmooth -pnm "$1.jpg" > "$1.pnm"
    djpeg -dct fast -nosmooth -pnm "$1.jpg" > "$1.fast.pnm"
    echo "$1" >> corpus.txt
}

# encode NAME SOURCE cjpeg-options...: NAME.jpg and its reference NAME.pnm.
encode() {
    local name=$1 source=$2
    shift 2
    cjpeg "$@" "$source" > "$name.jpg"
    references "$name"
}

# The shipped photographs as they are (124 is progressive).
for f in "$pictures"/*.jpg; do
    name=photo-$(basename "$f" .jpg)
    cp "$f" "$name.jpg"
    references "$name"
done

# A stray restart marker between the last scan data and EOI: every row still comes out.
size=$(stat -c %s photo-114.jpg)
{ head -c $((size - 2)) photo-114.jpg; printf '\xff\xd0\xff\xd9'; } > photo-114-rst-before-eoi.jpg
references photo-114-rst-before-eoi

# One photograph re-encoded in every way the decoder must follow.
djpeg -pnm "$pictures/121.jpg" > photo.ppm
encode re-h1v1 photo.ppm -sample 1x1
encode re-h2v1 photo.ppm -sample 2x1
encode re-h1v2 photo.ppm -sample 1x2
encode re-h2v2 photo.ppm -sample 2x2
encode re-grey photo.ppm -grayscale
encode re-restart1 photo.ppm -restart 1B
encode re-restart-rows photo.ppm -sample 1x2 -restart 2
encode re-optimised photo.ppm -optimize
encode re-quality1 photo.ppm -quality 1
encode re-quality100 photo.ppm -quality 100 -sample 1x1
# Non-interleaved sequential: each component in its own scan, and Y before an interleaved CbCr.
printf '0: 0 63 0 0;\n1: 0 63 0 0;\n2: 0 63 0 0;\n' > three-scans.txt
printf '0: 0 63 0 0;\n1 2: 0 63 0 0;\n' > two-scans.txt
encode re-three-scans photo.ppm -scans three-scans.txt
encode re-two-scans-restart photo.ppm -sample 2x1 -scans two-scans.txt -restart 1B

# Progressive: cjpeg's own scan order in every layout, with restarts and extreme qualities, and
# scan scripts that take the coefficients apart in other ways.
encode prog-h1v1 photo.ppm -progressive -sample 1x1
encode prog-h2v1 photo.ppm -progressive -sample 2x1
encode prog-h1v2 photo.ppm -progressive -sample 1x2
encode prog-h2v2 photo.ppm -progressive -sample 2x2
encode prog-grey photo.ppm -progressive -grayscale
encode prog-restart1 photo.ppm -progressive -restart 1B
encode prog-restart-rows photo.ppm -progressive -sample 2x1 -restart 1
encode prog-quality1 photo.ppm -progressive -quality 1
encode prog-quality100 photo.ppm -progressive -quality 100 -sample 1x1
# Coefficient bands alone: narrow and wide ones, each component on its own.
cat > bands.txt <<'EOF'
0 1 2: 0 0 0 0;
0: 1 1 0 0;
0: 2 2 0 0;
0: 3 9 0 0;
0: 10 63 0 0;
1: 1 63 0 0;
2: 1 5 0 0;
2: 6 63 0 0;
EOF
# Successive approximation: DC in four passes, AC of luma in five, of chroma in three and two.
cat > approximation.txt <<'EOF'
0 1 2: 0 0 0 3;
0 1 2: 0 0 3 2;
0: 1 63 0 4;
2: 1 63 0 1;
1: 1 63 0 2;
0 1 2: 0 0 2 1;
0: 1 63 4 3;
0: 1 63 3 2;
1: 1 63 2 1;
0: 1 63 2 1;
0 1 2: 0 0 1 0;
2: 1 63 1 0;
1: 1 63 1 0;
0: 1 63 1 0;
EOF
# One component per scan throughout (the chroma DC first), bands and approximation mixed.
cat > one-per-scan.txt <<'EOF'
2: 0 0 0 1;
1: 0 0 0 1;
0: 0 0 0 2;
0: 1 5 0 2;
0: 6 63 0 2;
1: 1 63 0 1;
0: 0 0 2 1;
0: 1 63 2 1;
2: 1 20 0 0;
2: 21 63 0 0;
0: 0 0 1 0;
1: 0 0 1 0;
2: 0 0 1 0;
0: 1 63 1 0;
1: 1 63 1 0;
EOF
cat > grey-approximation.txt <<'EOF'
0: 0 0 0 2;
0: 1 8 0 3;
0: 9 63 0 1;
0: 1 8 3 2;
0: 0 0 2 1;
0: 1 8 2 1;
0: 0 0 1 0;
0: 1 63 1 0;
EOF
encode prog-bands photo.ppm -scans bands.txt -sample 2x2
encode prog-approximation photo.ppm -scans approximation.txt -sample 2x1
encode prog-approximation-q100 photo.ppm -scans approximation.txt -sample 1x1 -quality 100
encode prog-one-per-scan photo.ppm -scans one-per-scan.txt -sample 1x2 -restart 3B
encode prog-grey-approximation photo.ppm -scans grey-approximation.txt -grayscale -restart 1

# Synthetic pictures at odd sizes in every layout.
for size in 1x1 7x5 17x15 1000x3 33x47; do
    w=${size%x*}
    h=${size#*x}
    synth "s$size.ppm" "$w" "$h" 3
    synth "s$size.pgm" "$w" "$h" 1
    encode "s$size-grey" "s$size.pgm"
    encode "s$size-prog-grey" "s$size.pgm" -progressive
    for sampling in 1x1 2x1 1x2 2x2; do
        encode "s$size-$sampling" "s$size.ppm" -sample "$sampling"
        encode "s$size-prog-$sampling" "s$size.ppm" -progressive -sample "$sampling"
    done
done
# The largest frames, 8192 pixels across or down: the photograph stretched, in every layout,
# sequential and progressive.
for size in 8192x17 23x8192; do
    convert photo.ppm -resize "$size!" "max$size.ppm"
    encode "max$size-grey" "max$size.ppm" -grayscale
    encode "max$size-prog-grey" "max$size.ppm" -grayscale -progressive
    for sampling in 1x1 2x1 1x2 2x2; do
        encode "max$size-$sampling" "max$size.ppm" -sample "$sampling"
        encode "max$size-prog-$sampling" "max$size.ppm" -progressive -sample "$sampling"
    done
done
encode s17x15-restart1 s17x15.ppm -sample 2x2 -restart 1B
encode s33x47-restart1-grey s33x47.pgm -restart 1B
encode s33x47-optimised s33x47.ppm -optimize -sample 1x2
encode s33x47-quality1 s33x47.ppm -quality 1 -sample 2x1
encode s33x47-quality100 s33x47.ppm -quality 100
encode s33x47-three-scans s33x47.ppm -sample 2x2 -scans three-scans.txt -restart 1B
encode s33x47-prog-approximation s33x47.ppm -scans approximation.txt -sample 2x2 -restart 1B
encode s17x15-prog-one-per-scan s17x15.ppm -scans one-per-scan.txt -sample 2x1 -quality 100
encode s1000x3-prog-bands s1000x3.ppm -scans bands.txt -sample 1x2 -restart 2B
encode s33x47-prog-grey-approximation s33x47.pgm -scans grey-approximation.txt -quality 100

cjpeg -arithmetic s17x15.ppm > arithmetic.jpg

# RGB-coded files: djpeg passes their components through unchanged (rgb-h*, rgb-prog-*,
# rgb-*-only) or converts them as Y, Cb, Cr where a sign says so (rgb-adobe-says-ycc,
# rgb-names-and-jfif). cjpeg -rgb writes an Adobe marker with transform 0 and names the
# components 'R', 'G' and 'B'; the variants keep one of the two signs, or add one that says
# Y, Cb, Cr.
edit_markers() { # INPUT OUTPUT EDITS...: no-adobe, adobe-ycc, ids-123, jfif
    python3 - "$@" <<'PY'
import sys
data, edits = open(sys.argv[1], 'rb').read(), sys.argv[3:]
out, i = bytearray(data[:2]), 2
if 'jfif' in edits:
    out += b'\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00'
while i < len(data):
    marker = data[i + 1]
    end = i + 2 + (0 if marker == 0xD9 else int.from_bytes(data[i + 2:i + 4], 'big'))
    seg, i = bytearray(data[i:end]), end
    if marker == 0xEE and 'no-adobe' in edits:
        continue
    if marker == 0xEE and 'adobe-ycc' in edits:
        seg[15] = 1
    if marker in (0xC0, 0xC2) and 'ids-123' in edits:
        for k in range(3):
            seg[10 + 3 * k] = k + 1
    if marker == 0xDA and 'ids-123' in edits:
        for k in range(seg[4]):
            seg[5 + 2 * k] = {82: 1, 71: 2, 66: 3}[seg[5 + 2 * k]]
    out += seg
    if marker == 0xDA:  # the entropy-coded data, up to the next marker other than RSTn
        j = i
        while data[j] != 0xFF or data[j + 1] == 0 or 0xD0 <= data[j + 1] <= 0xD7:
            j += 1
        out += data[i:j]
        i = j
    if marker == 0xD9:
        break
open(sys.argv[2], 'wb').write(out)
PY
}
rgb() { # NAME SOURCE cjpeg-options... [-- EDITS...]
    local name=$1 source=$2 options=() edits=()
    shift 2
    while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
    [ $# -gt 0 ] && shift && edits=("$@")
    cjpeg -rgb "${options[@]}" "$source" > "$name.tmp"
    edit_markers "$name.tmp" "$name.jpg" "${edits[@]}"
    rm -f "$name.tmp"
    references "$name"
}
rgb rgb-h1v1 photo.ppm
rgb rgb-h2v1 photo.ppm -sample 2x1
rgb rgb-h2v2-s17x15 s17x15.ppm -sample 2x2
rgb rgb-prog-h1v2 photo.ppm -progressive -sample 1x2
rgb rgb-names-only photo.ppm -- no-adobe
rgb rgb-adobe-only s33x47.ppm -progressive -- ids-123
rgb rgb-adobe-says-ycc s33x47.ppm -- adobe-ycc
rgb rgb-names-and-jfif s33x47.ppm -- no-adobe jfif
