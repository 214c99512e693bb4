// The transforms in SSE2 registers, eight 16-bit lanes at a time: the AAN transform of the packed
// path (the MMX one's lane arithmetic, twice as wide) and the integer transform of the native
// plain path. Only intrinsics and functions of this file's own here: the 32-bit build compiles it
// alone with -msse2, and no code shared with the rest of the program may come from it.
#include "jpeg/JpegTransform.h"

#include "jpeg/JpegAanLanes.inl"

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

// Rows and Columns: the coefficient rows and columns that may be non-zero (4 or 8). Beyond them
// the inputs are zero, and so is every product with them: the first pass leaves the zero rows
// out, and since it works column by column, the zero columns stay zero for the second pass,
// which leaves them out likewise.
template <int Rows, int Columns>
inline void aanBlock(const int16_t* coefficients, const int16_t* quant, uint8_t* samples) {
    __m128i d[8];
    for (int i = 0; i < 8; ++i) {
        if (i >= Rows) {
            d[i] = _mm_setzero_si128();
            continue;
        }
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * i));
        __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + 8 * i));
        d[i] = _mm_mullo_epi16(c, q);
    }
    jpegAanPass<Sse2Lanes>(d); // down the columns: one lane per column
    transpose(d);
    for (int j = Columns; j < 8; ++j)
        d[j] = _mm_setzero_si128();
    jpegAanPass<Sse2Lanes>(d); // along the rows: one lane per row, d[j] is output column j
    transpose(d);
    const __m128i bias = _mm_set1_epi16(128);
    for (int r = 0; r < 8; r += 2) {
        __m128i lo = _mm_adds_epi16(_mm_srai_epi16(d[r], 5), bias);
        __m128i hi = _mm_adds_epi16(_mm_srai_epi16(d[r + 1], 5), bias);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * r), _mm_packus_epi16(lo, hi));
    }
}

// Products of interleaved pairs (a, b) with (ca, cb): a x ca + b x cb in 32-bit lanes.
inline __m128i pairs(int16_t ca, int16_t cb) {
    return _mm_set1_epi32(
        static_cast<int32_t>(static_cast<uint16_t>(ca)) |
        static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(cb)) << 16));
}

// The LL&M 1-D transform on eight lanes of 16-bit inputs d[0..7]; y receives the 32-bit
// outputs, lanes 0..3 in y[i][0] and 4..7 in y[i][1]. Every step is linear modulo 2^32, so the
// products regrouped for pmaddwd give the scalar results bit for bit.
inline void llmLanes(const __m128i d[8], __m128i y[8][2]) {
    const __m128i c04p = pairs(8192, 8192), c04m = pairs(8192, -8192);
    const __m128i c26a = pairs(4433, -10704), c26b = pairs(10703, 4433);
    const __m128i o0a = pairs(2260, -11363), o0b = pairs(-6436, 9633);
    const __m128i o1a = pairs(6437, 9633), o1b = pairs(-11362, 2261);
    const __m128i o2a = pairs(9633, -6436), o2b = pairs(-2259, -11362);
    const __m128i o3a = pairs(11363, 2260), o3b = pairs(9633, 6437);
    __m128i p04[2] = {_mm_unpacklo_epi16(d[0], d[4]), _mm_unpackhi_epi16(d[0], d[4])};
    __m128i p26[2] = {_mm_unpacklo_epi16(d[2], d[6]), _mm_unpackhi_epi16(d[2], d[6])};
    __m128i p17[2] = {_mm_unpacklo_epi16(d[1], d[7]), _mm_unpackhi_epi16(d[1], d[7])};
    __m128i p35[2] = {_mm_unpacklo_epi16(d[3], d[5]), _mm_unpackhi_epi16(d[3], d[5])};
    for (int h = 0; h < 2; ++h) {
        __m128i t0 = _mm_madd_epi16(p04[h], c04p);
        __m128i t1 = _mm_madd_epi16(p04[h], c04m);
        __m128i t2 = _mm_madd_epi16(p26[h], c26a);
        __m128i t3 = _mm_madd_epi16(p26[h], c26b);
        __m128i e10 = _mm_add_epi32(t0, t3), e13 = _mm_sub_epi32(t0, t3);
        __m128i e11 = _mm_add_epi32(t1, t2), e12 = _mm_sub_epi32(t1, t2);
        __m128i o0 = _mm_add_epi32(_mm_madd_epi16(p17[h], o0a), _mm_madd_epi16(p35[h], o0b));
        __m128i o1 = _mm_add_epi32(_mm_madd_epi16(p17[h], o1a), _mm_madd_epi16(p35[h], o1b));
        __m128i o2 = _mm_add_epi32(_mm_madd_epi16(p17[h], o2a), _mm_madd_epi16(p35[h], o2b));
        __m128i o3 = _mm_add_epi32(_mm_madd_epi16(p17[h], o3a), _mm_madd_epi16(p35[h], o3b));
        y[0][h] = _mm_add_epi32(e10, o3);
        y[7][h] = _mm_sub_epi32(e10, o3);
        y[1][h] = _mm_add_epi32(e11, o2);
        y[6][h] = _mm_sub_epi32(e11, o2);
        y[2][h] = _mm_add_epi32(e12, o1);
        y[5][h] = _mm_sub_epi32(e12, o1);
        y[3][h] = _mm_add_epi32(e13, o0);
        y[4][h] = _mm_sub_epi32(e13, o0);
    }
}

// The low 16 bits of each 32-bit lane, as the scalar transform's 16-bit stores keep them.
inline __m128i low16(__m128i lo, __m128i hi) {
    lo = _mm_srai_epi32(_mm_slli_epi32(lo, 16), 16);
    hi = _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16);
    return _mm_packs_epi32(lo, hi);
}

inline void integerBlock(const int16_t* coefficients, uint8_t* samples) {
    __m128i d[8];
    for (int i = 0; i < 8; ++i)
        d[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * i));
    transpose(d); // one lane per row: pass 1 transforms the rows
    __m128i y[8][2];
    llmLanes(d, y);
    const __m128i round1 = _mm_set1_epi32(1024);
    for (int i = 0; i < 8; ++i)
        d[i] = low16(_mm_srai_epi32(_mm_add_epi32(y[i][0], round1), 11),
                     _mm_srai_epi32(_mm_add_epi32(y[i][1], round1), 11));
    transpose(d); // one lane per column: pass 2 transforms the columns
    llmLanes(d, y);
    const __m128i round2 = _mm_set1_epi32(131072), level = _mm_set1_epi32(128);
    __m128i rows[8];
    for (int i = 0; i < 8; ++i)
        rows[i] = low16(_mm_add_epi32(_mm_srai_epi32(_mm_add_epi32(y[i][0], round2), 18), level),
                        _mm_add_epi32(_mm_srai_epi32(_mm_add_epi32(y[i][1], round2), 18), level));
    for (int r = 0; r < 8; r += 2)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * r),
                         _mm_packus_epi16(rows[r], rows[r + 1]));
}

} // namespace

void jpegIdctIntegerRowSse2(const int16_t* coefficients, uint8_t* samples, int blocks) {
    for (int i = 0; i < blocks; ++i)
        integerBlock(coefficients + 64 * i, samples + 64 * i);
}

void jpegIdctAanRowSse2(const int16_t* coefficients, uint8_t* samples, int mcus, int blocksPerMcu,
                        const int16_t* const* quant, const uint8_t* extents) {
    for (int m = 0; m < mcus; ++m)
        for (int b = 0; b < blocksPerMcu; ++b) {
            const int extent = extents == nullptr || *extents >= 64 ? 64 : *extents;
            if (extent <= 1) {
                // DC alone: both passes carry the dequantised DC to every sample unchanged (the
                // other inputs are 0, and so is every product with them).
                const int16_t dc = static_cast<int16_t>(
                    static_cast<uint16_t>(static_cast<int32_t>(coefficients[0]) * quant[b][0]));
                const int value = (dc >> 5) + 128;
                const __m128i fill =
                    _mm_set1_epi8(static_cast<char>(value < 0 ? 0 : (value > 255 ? 255 : value)));
                for (int i = 0; i < 64; i += 16)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i), fill);
            } else {
                const bool rows = jpegRowsUsed[extent] <= 4, columns = jpegColumnsUsed[extent] <= 4;
                if (rows && columns)
                    aanBlock<4, 4>(coefficients, quant[b], samples);
                else if (rows)
                    aanBlock<4, 8>(coefficients, quant[b], samples);
                else if (columns)
                    aanBlock<8, 4>(coefficients, quant[b], samples);
                else
                    aanBlock<8, 8>(coefficients, quant[b], samples);
            }
            coefficients += 64;
            samples += 64;
            if (extents != nullptr) ++extents;
        }
}
