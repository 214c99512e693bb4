// Colour conversion of the packed path in MMX registers: the table entries in closed form (see
// buildJpegColourTables), four chroma pairs at a time, and four pixels per step with the clamp
// done by the unsigned saturating pack, as the clamp table does. Integer code only; the line ends
// with _mm_empty(), since MMX shares its registers with the x87 unit.
#include "jpeg/JpegColour.h"

#include <mmintrin.h>

namespace {

struct Offsets {
    __m64 red, green, blue;
};

inline __m64 constant(int32_t low, int32_t high) {
    return _mm_set_pi32(high, low);
}

// Rcr = (91882 cr - 11682187) >> 16, Bcb = (116130 cb - 14773807) >> 16 and
// (Gcb + Gcr) >> 16 = (8875658 - 22554 cb - 46802 cr) >> 16 for four chroma pairs (16-bit
// lanes). pmaddwd forms each product exactly when the factors are split: 91882 = 2 x (32767 +
// 13174), 116130 = 2 x (32767 + 25298), 22554 = 2 x 11277, 46802 = 2 x 23401.
inline Offsets chromaOffsets(__m64 cb, __m64 cr) {
    const __m64 redFactors = constant(32767 | (13174 << 16), 32767 | (13174 << 16));
    const __m64 blueFactors = constant(32767 | (25298 << 16), 32767 | (25298 << 16));
    const int32_t green =
        static_cast<int32_t>(static_cast<uint16_t>(-11277) |
                             (static_cast<uint32_t>(static_cast<uint16_t>(-23401)) << 16));
    const __m64 greenFactors = constant(green, green);
    const __m64 redBias = constant(-11682187, -11682187);
    const __m64 greenBias = constant(8875658, 8875658);
    const __m64 blueBias = constant(-14773807, -14773807);
    __m64 out[3][2];
    for (int half = 0; half < 2; ++half) {
        const __m64 cb2 = half ? _mm_unpackhi_pi16(cb, cb) : _mm_unpacklo_pi16(cb, cb);
        const __m64 cr2 = half ? _mm_unpackhi_pi16(cr, cr) : _mm_unpacklo_pi16(cr, cr);
        const __m64 cbcr = half ? _mm_unpackhi_pi16(cb, cr) : _mm_unpacklo_pi16(cb, cr);
        const __m64 red = _mm_slli_pi32(_mm_madd_pi16(cr2, redFactors), 1);
        const __m64 blue = _mm_slli_pi32(_mm_madd_pi16(cb2, blueFactors), 1);
        const __m64 greenSum = _mm_slli_pi32(_mm_madd_pi16(cbcr, greenFactors), 1);
        out[0][half] = _mm_srai_pi32(_mm_add_pi32(red, redBias), 16);
        out[1][half] = _mm_srai_pi32(_mm_add_pi32(greenSum, greenBias), 16);
        out[2][half] = _mm_srai_pi32(_mm_add_pi32(blue, blueBias), 16);
    }
    return {_mm_packs_pi32(out[0][0], out[0][1]), _mm_packs_pi32(out[1][0], out[1][1]),
            _mm_packs_pi32(out[2][0], out[2][1])};
}

// Each offset lane twice: the four lanes covering luma columns 0..3 (low) or 4..7 (high) when
// one chroma pair covers two luma samples across.
inline Offsets doubledLow(const Offsets& o) {
    return {_mm_unpacklo_pi16(o.red, o.red), _mm_unpacklo_pi16(o.green, o.green),
            _mm_unpacklo_pi16(o.blue, o.blue)};
}
inline Offsets doubledHigh(const Offsets& o) {
    return {_mm_unpackhi_pi16(o.red, o.red), _mm_unpackhi_pi16(o.green, o.green),
            _mm_unpackhi_pi16(o.blue, o.blue)};
}

// Four pixels R, G, B, 0 from four luma samples (16-bit lanes) and their offsets.
inline void storeFour(__m64 y, const Offsets& o, uint8_t* out) {
    const __m64 zero = _mm_setzero_si64();
    const __m64 rb = _mm_packs_pu16(_mm_add_pi16(y, o.red), _mm_add_pi16(y, o.blue));
    const __m64 g = _mm_packs_pu16(_mm_add_pi16(y, o.green), zero);
    const __m64 rg = _mm_unpacklo_pi8(rb, g); // r0 g0 r1 g1 ...
    const __m64 b0 = _mm_unpackhi_pi8(rb, g); // b0 0 b1 0 ...
    *reinterpret_cast<__m64*>(out) = _mm_unpacklo_pi16(rg, b0);
    *reinterpret_cast<__m64*>(out + 8) = _mm_unpackhi_pi16(rg, b0);
}

inline __m64 load8(const uint8_t* p) {
    return *reinterpret_cast<const __m64*>(p);
}

// Eight luma samples of one row with the offsets of lanes 0..3 and 4..7.
inline void storeEight(const uint8_t* y, const Offsets& low, const Offsets& high, uint8_t* out) {
    const __m64 zero = _mm_setzero_si64();
    const __m64 luma = load8(y);
    storeFour(_mm_unpacklo_pi8(luma, zero), low, out);
    storeFour(_mm_unpackhi_pi8(luma, zero), high, out + 16);
}

// Pixels: the red and blue offsets trade places, and so do the bytes they make.
inline Offsets inOrder(const Offsets& o, bool pixels) {
    return pixels ? Offsets{o.blue, o.green, o.red} : o;
}

template <int H, bool Two>
void convertLine(const JpegLineSource& source, uint8_t* line0, uint8_t* line1, bool pixels) {
    const __m64 zero = _mm_setzero_si64();
    const uint8_t* s = source.samples;
    for (int m = 0; m < source.mcus; ++m, s += source.mcuBytes) {
        const uint8_t* c = s + source.chroma;
        const __m64 cb = load8(c), cr = load8(c + 64);
        const Offsets low =
            inOrder(chromaOffsets(_mm_unpacklo_pi8(cb, zero), _mm_unpacklo_pi8(cr, zero)), pixels);
        const Offsets high =
            inOrder(chromaOffsets(_mm_unpackhi_pi8(cb, zero), _mm_unpackhi_pi8(cr, zero)), pixels);
        const uint8_t* y = s + source.luma;
        if (H == 1) {
            storeEight(y, low, high, line0);
            if (Two) storeEight(y + 8, low, high, line1);
        } else {
            // Chroma 0..3 cover the left luma block, 4..7 the right one.
            const Offsets q0 = doubledLow(low), q1 = doubledHigh(low);
            const Offsets q2 = doubledLow(high), q3 = doubledHigh(high);
            storeEight(y, q0, q1, line0);
            storeEight(y + 64, q2, q3, line0 + 32);
            if (Two) {
                storeEight(y + 8, q0, q1, line1);
                storeEight(y + 72, q2, q3, line1 + 32);
            }
        }
        line0 += 32 * H;
        if (Two) line1 += 32 * H;
    }
    _mm_empty();
}

} // namespace

void jpegConvertLineMmx(const JpegLineSource& source, uint8_t* line0, uint8_t* line1,
                        JpegOutput output) {
    const bool pixels = output == JpegOutput::Pixels;
    if (source.h == 2)
        line1 ? convertLine<2, true>(source, line0, line1, pixels)
              : convertLine<2, false>(source, line0, nullptr, pixels);
    else
        line1 ? convertLine<1, true>(source, line0, line1, pixels)
              : convertLine<1, false>(source, line0, nullptr, pixels);
}
