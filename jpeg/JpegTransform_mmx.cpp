// The AAN transform in MMX registers, four 16-bit lanes at a time. No floating point here: the
// x87 unit shares its registers with MMX, and the row ends with _mm_empty().
#include "jpeg/JpegTransform.h"

#include "jpeg/JpegAanLanes.inl"

#include <cstring>
#include <mmintrin.h>

namespace {

struct MmxLanes {
    using V = __m64;
    static V add(V a, V b) { return _mm_add_pi16(a, b); }
    static V sub(V a, V b) { return _mm_sub_pi16(a, b); }
    static V mul(V a, int16_t c) { return _mm_mulhi_pi16(_mm_slli_pi16(a, 2), _mm_set1_pi16(c)); }
};

// Rows a..d of a 4 x 4 quarter become its columns.
inline void transpose4(__m64& a, __m64& b, __m64& c, __m64& d) {
    __m64 t0 = _mm_unpacklo_pi16(a, b), t1 = _mm_unpackhi_pi16(a, b);
    __m64 t2 = _mm_unpacklo_pi16(c, d), t3 = _mm_unpackhi_pi16(c, d);
    a = _mm_unpacklo_pi32(t0, t2);
    b = _mm_unpackhi_pi32(t0, t2);
    c = _mm_unpacklo_pi32(t1, t3);
    d = _mm_unpackhi_pi32(t1, t3);
}

inline __m64 load(const int16_t* p) {
    return *reinterpret_cast<const __m64*>(p);
}

// rightHalf false: columns 4..7 of the coefficients are all 0, and so is pass 1 over them.
inline void transformBlock(const int16_t* coefficients, const int16_t* quant, uint8_t* samples,
                           bool rightHalf = true) {
    // t[h][i]: after pass 1, row i of columns 4h..4h+3.
    __m64 t[2][8];
    for (int h = 0; h < 2; ++h) {
        if (h == 1 && !rightHalf) {
            for (int i = 0; i < 8; ++i)
                t[1][i] = _mm_setzero_si64();
            break;
        }
        for (int i = 0; i < 8; ++i)
            t[h][i] =
                _mm_mullo_pi16(load(coefficients + 8 * i + 4 * h), load(quant + 8 * i + 4 * h));
        jpegAanPass<MmxLanes>(t[h]);
    }
    // u[g][j]: column j of rows 4g..4g+3, the lanes of pass 2.
    __m64 u[2][8];
    for (int g = 0; g < 2; ++g)
        for (int h = 0; h < 2; ++h) {
            __m64 a = t[h][4 * g], b = t[h][4 * g + 1], c = t[h][4 * g + 2], d = t[h][4 * g + 3];
            transpose4(a, b, c, d);
            u[g][4 * h] = a;
            u[g][4 * h + 1] = b;
            u[g][4 * h + 2] = c;
            u[g][4 * h + 3] = d;
        }
    const __m64 bias = _mm_set1_pi16(128);
    for (int g = 0; g < 2; ++g) {
        jpegAanPass<MmxLanes>(u[g]);
        // Back to rows: left and right halves of rows 4g..4g+3.
        __m64 l0 = u[g][0], l1 = u[g][1], l2 = u[g][2], l3 = u[g][3];
        __m64 r0 = u[g][4], r1 = u[g][5], r2 = u[g][6], r3 = u[g][7];
        transpose4(l0, l1, l2, l3);
        transpose4(r0, r1, r2, r3);
        __m64 left[4] = {l0, l1, l2, l3};
        __m64 right[4] = {r0, r1, r2, r3};
        for (int i = 0; i < 4; ++i) {
            __m64 lo = _mm_adds_pi16(_mm_srai_pi16(left[i], 5), bias);
            __m64 hi = _mm_adds_pi16(_mm_srai_pi16(right[i], 5), bias);
            *reinterpret_cast<__m64*>(samples + 8 * (4 * g + i)) = _mm_packs_pu16(lo, hi);
        }
    }
}

} // namespace

void jpegIdctAanRowMmx(const int16_t* coefficients, uint8_t* samples, int mcus, int blocksPerMcu,
                       const int16_t* const* quant) {
    for (int m = 0; m < mcus; ++m)
        for (int b = 0; b < blocksPerMcu; ++b) {
            transformBlock(coefficients, quant[b], samples);
            coefficients += 64;
            samples += 64;
        }
    _mm_empty();
}

void jpegIdctAanRowMmxSparse(const int16_t* coefficients, uint8_t* samples, int mcus,
                             int blocksPerMcu, const int16_t* const* quant,
                             const uint8_t* extents) {
    for (int m = 0; m < mcus; ++m)
        for (int b = 0; b < blocksPerMcu; ++b, ++extents) {
            const int extent = *extents < 64 ? *extents : 64;
            if (extent <= 1) {
                // DC alone: both passes carry the dequantised DC to every sample unchanged (the
                // other inputs are 0, and so is every product with them).
                const int16_t dc = static_cast<int16_t>(
                    static_cast<uint16_t>(static_cast<int32_t>(coefficients[0]) * quant[b][0]));
                const int value = (dc >> 5) + 128;
                std::memset(samples, value < 0 ? 0 : (value > 255 ? 255 : value), 64);
            } else {
                transformBlock(coefficients, quant[b], samples, jpegColumnsUsed[extent] > 4);
            }
            coefficients += 64;
            samples += 64;
        }
    _mm_empty();
}
