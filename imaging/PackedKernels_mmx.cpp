// The packed inner loops in MMX instructions (32-bit Windows build). Integer code only, and each
// routine leaves the MMX state with _mm_empty(), since MMX shares its registers with the x87 unit.
#include "imaging/PackedKernels.h"

#include <mmintrin.h>

namespace {

inline __m64 Load(const PackedLanes& lanes) {
    return *reinterpret_cast<const __m64*>(&lanes);
}
inline void Store(PackedLanes& lanes, __m64 value) {
    *reinterpret_cast<__m64*>(&lanes) = value;
}

template <bool Deep> void DitherRows(Pixel* pixels, int width, int height, PackedLanes* slots) {
    const __m64 zero = _mm_setzero_si64();
    const __m64 eight = _mm_set1_pi16(8);
    const __m64 four = _mm_set1_pi16(4);
    const __m64 levelMask = _mm_set1_pi16(0xF8);
    const __m64 five = _mm_set1_pi16(5);
    const __m64 half = _mm_set1_pi16(128);
    const __m64 step = _mm_set1_pi16(51);
    for (int y = 0; y < height; ++y) {
        Pixel* row = pixels + static_cast<unsigned>(y) * static_cast<unsigned>(width);
        const bool forward = (y % 2) == 0;
        __m64 carry = zero, a = zero, b = zero;
        int behind = forward ? 0 : width + 1;
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            const __m64 in =
                _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(row[x] & 0x00FFFFFFu)), zero);
            const __m64 t =
                _mm_srai_pi16(_mm_add_pi16(_mm_add_pi16(carry, Load(slots[x + 1])), eight), 4);
            // The saturating pack clamps to 0..255.
            const __m64 v = _mm_unpacklo_pi8(_mm_packs_pu16(_mm_add_pi16(in, t), zero), zero);
            __m64 q;
            if (Deep)
                q = _mm_and_si64(
                    _mm_unpacklo_pi8(_mm_packs_pu16(_mm_add_pi16(v, four), zero), zero), levelMask);
            else
                q = _mm_mullo_pi16(_mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(v, five), half), 8),
                                   step);
            row[x] = static_cast<Pixel>(_mm_cvtsi64_si32(_mm_packs_pu16(q, zero)));
            const __m64 e = _mm_sub_pi16(v, q);
            const __m64 e2 = _mm_add_pi16(e, e);
            const __m64 e3 = _mm_add_pi16(e2, e);
            const __m64 e5 = _mm_add_pi16(e3, e2);
            Store(slots[behind], _mm_add_pi16(a, e3));
            a = _mm_add_pi16(b, e5);
            b = e;
            carry = _mm_add_pi16(e5, e2);
            behind = x + 1;
        }
        Store(slots[forward ? width : 1], a);
    }
}

} // namespace

void PackedHorizontalMmx(const Pixel* source, int sourceWidth, int rows, const PackedTaps* taps,
                         int columns, PackedLanes* work) {
    const __m64 zero = _mm_setzero_si64();
    for (int r = 0; r < rows; ++r) {
        const Pixel* line = source + static_cast<unsigned>(r) * static_cast<unsigned>(sourceWidth);
        __m64* out = reinterpret_cast<__m64*>(work + static_cast<unsigned>(r) *
                                                         static_cast<unsigned>(columns));
        for (int c = 0; c < columns; ++c) {
            const Pixel* tap = line + taps[c].First;
            const __m64* w = reinterpret_cast<const __m64*>(taps[c].Weights);
            __m64 acc = zero;
            for (int k = 0; k < taps[c].Count; ++k) {
                const __m64 p = _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(tap[k])), zero);
                acc = _mm_add_pi16(acc, _mm_mulhi_pi16(_mm_slli_pi16(p, 7), w[k]));
            }
            out[c] = _mm_slli_pi16(acc, 1);
        }
    }
    _mm_empty();
}

void PackedVerticalMmx(const PackedLanes* work, int columns, Pixel* output, int stride, int rows,
                       const PackedTaps* taps) {
    const __m64 zero = _mm_setzero_si64();
    for (int y = 0; y < rows; ++y) {
        Pixel* out = output + static_cast<unsigned>(y) * static_cast<unsigned>(stride);
        const int count = taps[y].Count;
        const __m64* w = reinterpret_cast<const __m64*>(taps[y].Weights);
        const __m64* first = reinterpret_cast<const __m64*>(
            work + static_cast<unsigned>(taps[y].First) * static_cast<unsigned>(columns));
        if (count == 2) {
            // The common case of enlarging: two neighbouring entries per step.
            const __m64 w0 = w[0], w1 = w[1];
            const __m64* second = first + columns;
            int c = 0;
            for (; c + 1 < columns; c += 2) {
                const __m64 a =
                    _mm_add_pi16(_mm_mulhi_pi16(first[c], w0), _mm_mulhi_pi16(second[c], w1));
                const __m64 b = _mm_add_pi16(_mm_mulhi_pi16(first[c + 1], w0),
                                             _mm_mulhi_pi16(second[c + 1], w1));
                const __m64 bytes = _mm_packs_pu16(_mm_srli_pi16(a, 6), _mm_srli_pi16(b, 6));
                out[c] = static_cast<Pixel>(_mm_cvtsi64_si32(bytes)) & 0x00FFFFFFu;
                out[c + 1] =
                    static_cast<Pixel>(_mm_cvtsi64_si32(_mm_srli_si64(bytes, 32))) & 0x00FFFFFFu;
            }
            if (c < columns) {
                const __m64 a =
                    _mm_add_pi16(_mm_mulhi_pi16(first[c], w0), _mm_mulhi_pi16(second[c], w1));
                out[c] = static_cast<Pixel>(
                             _mm_cvtsi64_si32(_mm_packs_pu16(_mm_srli_pi16(a, 6), zero))) &
                         0x00FFFFFFu;
            }
            continue;
        }
        for (int c = 0; c < columns; ++c) {
            const __m64* tap = first + c;
            __m64 acc = zero;
            for (int k = 0; k < count; ++k, tap += columns)
                acc = _mm_add_pi16(acc, _mm_mulhi_pi16(*tap, w[k]));
            const __m64 bytes = _mm_packs_pu16(_mm_srli_pi16(acc, 6), zero);
            out[c] = static_cast<Pixel>(_mm_cvtsi64_si32(bytes)) & 0x00FFFFFFu;
        }
    }
    _mm_empty();
}

void PackedDitherMmx(Pixel* pixels, int width, int height, bool deep, PackedLanes* slots) {
    if (deep)
        DitherRows<true>(pixels, width, height, slots);
    else
        DitherRows<false>(pixels, width, height, slots);
    _mm_empty();
}
