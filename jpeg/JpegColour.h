// Y/Cb/Cr to R/G/B through fixed-point tables (JFIF constants, chroma centred at 127.5).
#pragma once

#include <cstdint>

struct JpegColourTables {
    int32_t redFromCr[256];
    int32_t blueFromCb[256];
    // Unshifted; greenFromCb carries the rounding term.
    int32_t greenFromCr[256];
    int32_t greenFromCb[256];
};

void buildJpegColourTables(JpegColourTables& tables);

inline uint8_t jpegClampSample(int v) {
    return static_cast<uint8_t>(static_cast<unsigned>(v) > 255u ? (v < 0 ? 0 : 255) : v);
}

// One pixel: R, G, B at out[0..2]; out[3] is left alone.
inline void jpegConvertPixel(const JpegColourTables& t, int y, int cb, int cr, uint8_t* out) {
    out[0] = jpegClampSample(y + t.redFromCr[cr]);
    out[1] = jpegClampSample(y + ((t.greenFromCb[cb] + t.greenFromCr[cr]) >> 16));
    out[2] = jpegClampSample(y + t.blueFromCb[cb]);
}
