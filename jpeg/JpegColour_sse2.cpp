// Colour conversion in SSE2 registers, eight chroma pairs at a time, from the tables' closed forms
// (see buildJpegColourTables), with the clamp done by the unsigned saturating pack as the clamp
// table does: the pixels of the tables and of the MMX conversion. Only intrinsics and functions of
// this file's own here: the 32-bit build compiles it alone with -msse2.
#include "jpeg/JpegColour.h"

#include <emmintrin.h>

namespace {

// Eight pixels from 8 luma samples and 8 lanes of offsets: y + offset in 16-bit lanes (exact:
// |offset| < 256), clamped to 0..255 by the unsigned saturating pack, as the clamp table does.
inline void storeEight(__m128i y, __m128i red, __m128i green, __m128i blue, uint8_t* out) {
    __m128i r = _mm_packus_epi16(_mm_add_epi16(y, red), _mm_setzero_si128());
    __m128i g = _mm_packus_epi16(_mm_add_epi16(y, green), _mm_setzero_si128());
    __m128i b = _mm_packus_epi16(_mm_add_epi16(y, blue), _mm_setzero_si128());
    __m128i rg = _mm_unpacklo_epi8(r, g);
    __m128i b0 = _mm_unpacklo_epi8(b, _mm_setzero_si128());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(rg, b0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(rg, b0));
}

inline __m128i loadEight(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
}

inline void packedRow(const __m128i (&offsets)[3], int h, const JpegLumaRow& row) {
    if (h == 1) {
        storeEight(loadEight(row.left), offsets[0], offsets[1], offsets[2], row.out);
        return;
    }
    // Each chroma offset covers two neighbouring luma samples.
    __m128i lo[3], hi[3];
    for (int i = 0; i < 3; ++i) {
        lo[i] = _mm_unpacklo_epi16(offsets[i], offsets[i]);
        hi[i] = _mm_unpackhi_epi16(offsets[i], offsets[i]);
    }
    storeEight(loadEight(row.left), lo[0], lo[1], lo[2], row.out);
    storeEight(loadEight(row.right), hi[0], hi[1], hi[2], row.out + 32);
}

// The table entries in closed form (see buildJpegColourTables), four chroma pairs in 32-bit
// lanes: Rcr = (91882 cr - 11682187) >> 16, Bcb = (116130 cb - 14773807) >> 16 and
// (Gcb + Gcr) >> 16 = (8875658 - 22554 cb - 46802 cr) >> 16. The factors are split so that
// pmaddwd forms each product exactly: 91882 = 2 x (32767 + 13174), 116130 = 2 x (32767 +
// 25298), 22554 = 2 x 11277, 46802 = 2 x 23401.
inline void chromaOffsets(__m128i cb16, __m128i cr16, __m128i (&offsets)[3]) {
    __m128i out[3][2];
    const __m128i redFactors = _mm_set1_epi32(32767 | (13174 << 16));
    const __m128i blueFactors = _mm_set1_epi32(32767 | (25298 << 16));
    const __m128i greenFactors = _mm_set1_epi32(
        static_cast<int32_t>(static_cast<uint16_t>(-11277) |
                             (static_cast<uint32_t>(static_cast<uint16_t>(-23401)) << 16)));
    for (int half = 0; half < 2; ++half) {
        __m128i cb = half ? _mm_unpackhi_epi16(cb16, cb16) : _mm_unpacklo_epi16(cb16, cb16);
        __m128i cr = half ? _mm_unpackhi_epi16(cr16, cr16) : _mm_unpacklo_epi16(cr16, cr16);
        __m128i cbcr = half ? _mm_unpackhi_epi16(cb16, cr16) : _mm_unpacklo_epi16(cb16, cr16);
        __m128i red = _mm_slli_epi32(_mm_madd_epi16(cr, redFactors), 1);
        __m128i blue = _mm_slli_epi32(_mm_madd_epi16(cb, blueFactors), 1);
        __m128i green = _mm_slli_epi32(_mm_madd_epi16(cbcr, greenFactors), 1);
        out[0][half] = _mm_srai_epi32(_mm_add_epi32(red, _mm_set1_epi32(-11682187)), 16);
        out[1][half] = _mm_srai_epi32(_mm_add_epi32(green, _mm_set1_epi32(8875658)), 16);
        out[2][half] = _mm_srai_epi32(_mm_add_epi32(blue, _mm_set1_epi32(-14773807)), 16);
    }
    for (int i = 0; i < 3; ++i)
        offsets[i] = _mm_packs_epi32(out[i][0], out[i][1]);
}

} // namespace

namespace {

// Pixels: the red and blue offsets trade places, and so do the bytes they make.
void chromaRun(const uint8_t* cb, const uint8_t* cr, int h, const JpegLumaRow& row0,
               const JpegLumaRow& row1, bool pixels) {
    __m128i offsets[3];
    chromaOffsets(loadEight(cb), loadEight(cr), offsets);
    if (pixels) {
        const __m128i red = offsets[0];
        offsets[0] = offsets[2];
        offsets[2] = red;
    }
    packedRow(offsets, h, row0);
    if (row1.out) packedRow(offsets, h, row1);
}

} // namespace

void jpegConvertChromaRunSse2(const uint8_t* cb, const uint8_t* cr, int h, const JpegLumaRow& row0,
                              const JpegLumaRow& row1) {
    chromaRun(cb, cr, h, row0, row1, false);
}

void jpegConvertLineSse2(const JpegLineSource& source, uint8_t* line0, uint8_t* line1,
                         JpegOutput output) {
    const bool pixels = output == JpegOutput::Pixels;
    const uint8_t* s = source.samples;
    const int step = 32 * source.h;
    for (int m = 0; m < source.mcus; ++m, s += source.mcuBytes, line0 += step) {
        const uint8_t* y = s + source.luma;
        const uint8_t* c = s + source.chroma;
        chromaRun(c, c + 64, source.h, {y, y + 64, line0}, {y + 8, y + 72, line1}, pixels);
        if (line1) line1 += step;
    }
}
