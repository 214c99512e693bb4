// The packed AAN transform of the portable build: eight 16-bit lanes in SSE2 registers where the
// compiler offers SSE2 (every x86-64), else the lane reference itself.
#include "jpeg/JpegTransform.h"

#include "jpeg/JpegAanLanes.inl"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

struct Sse2Lanes {
    using V = __m128i;
    static V add(V a, V b) { return _mm_add_epi16(a, b); }
    static V sub(V a, V b) { return _mm_sub_epi16(a, b); }
    static V mul(V a, int16_t c) {
        return _mm_mulhi_epi16(_mm_slli_epi16(a, 2), _mm_set1_epi16(c));
    }
};

inline void transpose(__m128i v[8]) {
    __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
    __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
    __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a5 = _mm_unpackhi_epi16(v[4], v[5]);
    __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
    __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    v[0] = _mm_unpacklo_epi64(b0, b4);
    v[1] = _mm_unpackhi_epi64(b0, b4);
    v[2] = _mm_unpacklo_epi64(b1, b5);
    v[3] = _mm_unpackhi_epi64(b1, b5);
    v[4] = _mm_unpacklo_epi64(b2, b6);
    v[5] = _mm_unpackhi_epi64(b2, b6);
    v[6] = _mm_unpacklo_epi64(b3, b7);
    v[7] = _mm_unpackhi_epi64(b3, b7);
}

inline void transformBlock(const int16_t* coefficients, const int16_t* quant, uint8_t* samples) {
    __m128i d[8];
    for (int i = 0; i < 8; ++i) {
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * i));
        __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + 8 * i));
        d[i] = _mm_mullo_epi16(c, q);
    }
    jpegAanPass<Sse2Lanes>(d); // down the columns: one lane per column
    transpose(d);
    jpegAanPass<Sse2Lanes>(d); // along the rows: one lane per row, d[j] is output column j
    transpose(d);
    const __m128i bias = _mm_set1_epi16(128);
    for (int r = 0; r < 8; r += 2) {
        __m128i lo = _mm_adds_epi16(_mm_srai_epi16(d[r], 5), bias);
        __m128i hi = _mm_adds_epi16(_mm_srai_epi16(d[r + 1], 5), bias);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * r), _mm_packus_epi16(lo, hi));
    }
}

} // namespace

void jpegIdctAanRowPortable(const int16_t* coefficients, uint8_t* samples, int mcus,
                            int blocksPerMcu, const int16_t* const* quant) {
    for (int m = 0; m < mcus; ++m)
        for (int b = 0; b < blocksPerMcu; ++b) {
            transformBlock(coefficients, quant[b], samples);
            coefficients += 64;
            samples += 64;
        }
}

#else

void jpegIdctAanRowPortable(const int16_t* coefficients, uint8_t* samples, int mcus,
                            int blocksPerMcu, const int16_t* const* quant) {
    for (int m = 0; m < mcus; ++m)
        for (int b = 0; b < blocksPerMcu; ++b) {
            uint8_t* rows[8];
            for (int r = 0; r < 8; ++r)
                rows[r] = samples + 8 * r;
            jpegIdctAanReference(coefficients, quant[b], rows);
            coefficients += 64;
            samples += 64;
        }
}

#endif
