#include "jpeg/JpegColour.h"

void buildJpegColourTables(JpegColourTables& tables) {
    for (int i = 0; i < 256; ++i) {
        // k is twice the distance from 127.5, so the constants are half the JFIF ones.
        int32_t k = 2 * i - 255;
        tables.redFromCr[i] = (45941 * k + 32768) >> 16;
        tables.blueFromCb[i] = (58065 * k + 32768) >> 16;
        tables.greenFromCr[i] = -23401 * k;
        tables.greenFromCb[i] = -11277 * k + 32768;
    }
    // Luma 0..255 plus an offset within +-256 (the largest is Bcb at +-227).
    for (int v = -JpegColourTables::ClampOffset; v < 512; ++v)
        tables.clamp[v + JpegColourTables::ClampOffset] =
            static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}
