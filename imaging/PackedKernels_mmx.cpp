// The packed inner loops in MMX instructions (32-bit Windows build). Integer code only, and each
// routine leaves the MMX state with _mm_empty(), since MMX shares its registers with the x87 unit.
#include "imaging/PackedKernels.h"

#include "imaging/Resampler.h"

#include <mmintrin.h>

namespace {

inline __m64 Load(const PackedLanes& lanes) {
    return *reinterpret_cast<const __m64*>(&lanes);
}

// One pass along a row in direction Step (+1 or -1) from pixel `start`: the slot of pixel x is
// slots[x + 1], the pass begins with `behind` on the margin on its side, and the pending a goes
// into the slot of the last pixel of the pass.
template <bool Deep, int Step>
inline void DitherPass(Pixel* row, int width, PackedLanes* slots, const __m64 (&k)[7]) {
    const __m64 zero = _mm_setzero_si64();
    const __m64 eight = k[0], four = k[1], levelMask = k[2], five = k[3], half = k[4], step = k[5];
    const __m64 channels = k[6];
    __m64 carry = zero, a = zero, b = zero;
    Pixel* pixel = Step > 0 ? row : row + width - 1;
    // here: the slot of the current pixel; the behind slot is the one just before it in the pass.
    __m64* here = reinterpret_cast<__m64*>(Step > 0 ? slots + 1 : slots + width);
    for (int i = 0; i < width; ++i, pixel += Step, here += Step) {
        const __m64 in = _mm_unpacklo_pi8(
            _mm_and_si64(_mm_cvtsi32_si64(static_cast<int>(*pixel)), channels), zero);
        const __m64 t = _mm_srai_pi16(_mm_add_pi16(_mm_add_pi16(carry, *here), eight), 4);
        // The saturating pack clamps to 0..255.
        const __m64 v = _mm_unpacklo_pi8(_mm_packs_pu16(_mm_add_pi16(in, t), zero), zero);
        __m64 q;
        if (Deep)
            q = _mm_and_si64(_mm_unpacklo_pi8(_mm_packs_pu16(_mm_add_pi16(v, four), zero), zero),
                             levelMask);
        else
            q = _mm_mullo_pi16(_mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(v, five), half), 8), step);
        *pixel = static_cast<Pixel>(_mm_cvtsi64_si32(_mm_packs_pu16(q, zero)));
        const __m64 e = _mm_sub_pi16(v, q);
        const __m64 e2 = _mm_add_pi16(e, e);
        const __m64 e3 = _mm_add_pi16(e2, e);
        const __m64 e5 = _mm_add_pi16(e3, e2);
        here[-Step] = _mm_add_pi16(a, e3);
        a = _mm_add_pi16(b, e5);
        b = e;
        carry = _mm_add_pi16(e5, e2);
    }
    here[-Step] = a;
}

template <bool Deep> void DitherRows(Pixel* pixels, int width, int height, PackedLanes* slots) {
    const __m64 k[7] = {_mm_set1_pi16(8),           _mm_set1_pi16(4),   _mm_set1_pi16(0xF8),
                        _mm_set1_pi16(5),           _mm_set1_pi16(128), _mm_set1_pi16(51),
                        _mm_set_pi32(0, 0x00FFFFFF)};
    for (int y = 0; y < height; ++y) {
        Pixel* row = pixels + static_cast<unsigned>(y) * static_cast<unsigned>(width);
        if (y % 2 == 0)
            DitherPass<Deep, 1>(row, width, slots, k);
        else
            DitherPass<Deep, -1>(row, width, slots, k);
    }
}

} // namespace

void PackedHorizontalMmx(const Pixel* source, int sourceWidth, int rows, const PackedTaps* taps,
                         int columns, PackedLanes* work) {
    const __m64 zero = _mm_setzero_si64();
    // Enlarging, every entry has one or two taps: each becomes a pair of neighbouring pixels
    // loaded together, a missing tap taking weight 0 (whose products are 0 and change no sum).
    static const PackedLanes noWeight = {{0, 0, 0, 0}};
    struct Pair {
        __m64 W0;
        __m64 W1;
        int First;
    } pairs[Resampler::kBlockColumns];
    bool paired = sourceWidth >= 2 && columns <= Resampler::kBlockColumns;
    for (int c = 0; paired && c < columns; ++c) {
        const PackedTaps& t = taps[c];
        const auto* w = reinterpret_cast<const __m64*>(t.Weights);
        const __m64 none = Load(noWeight);
        if (t.Count == 2)
            pairs[c] = {w[0], w[1], t.First};
        else if (t.Count == 1 && t.First + 1 < sourceWidth)
            pairs[c] = {w[0], none, t.First};
        else if (t.Count == 1)
            pairs[c] = {none, w[0], t.First - 1};
        else if (t.Count == 0)
            pairs[c] = {none, none, 0};
        else
            paired = false;
    }
    int r = 0;
    if (paired) {
        // Two rows at a time: the source rows lie a whole picture row apart, and a row's first
        // reads usually miss the cache; taken together, the two misses overlap.
        const unsigned sourceStride = static_cast<unsigned>(sourceWidth);
        for (; r + 1 < rows; r += 2) {
            const Pixel* line = source + static_cast<unsigned>(r) * sourceStride;
            __m64* out = reinterpret_cast<__m64*>(work + static_cast<unsigned>(r) *
                                                             static_cast<unsigned>(columns));
            for (int c = 0; c < columns; ++c) {
                const Pixel* at = line + pairs[c].First;
                const __m64 a = *reinterpret_cast<const __m64*>(at);
                const __m64 b = *reinterpret_cast<const __m64*>(at + sourceStride);
                const __m64 w0 = pairs[c].W0, w1 = pairs[c].W1;
                const __m64 a0 = _mm_slli_pi16(_mm_unpacklo_pi8(a, zero), 7);
                const __m64 a1 = _mm_slli_pi16(_mm_unpackhi_pi8(a, zero), 7);
                const __m64 b0 = _mm_slli_pi16(_mm_unpacklo_pi8(b, zero), 7);
                const __m64 b1 = _mm_slli_pi16(_mm_unpackhi_pi8(b, zero), 7);
                out[c] =
                    _mm_slli_pi16(_mm_add_pi16(_mm_mulhi_pi16(a0, w0), _mm_mulhi_pi16(a1, w1)), 1);
                out[c + columns] =
                    _mm_slli_pi16(_mm_add_pi16(_mm_mulhi_pi16(b0, w0), _mm_mulhi_pi16(b1, w1)), 1);
            }
        }
    }
    for (; r < rows; ++r) {
        const Pixel* line = source + static_cast<unsigned>(r) * static_cast<unsigned>(sourceWidth);
        __m64* out = reinterpret_cast<__m64*>(work + static_cast<unsigned>(r) *
                                                         static_cast<unsigned>(columns));
        if (paired) {
            for (int c = 0; c < columns; ++c) {
                const __m64 pair = *reinterpret_cast<const __m64*>(line + pairs[c].First);
                const __m64 p0 = _mm_slli_pi16(_mm_unpacklo_pi8(pair, zero), 7);
                const __m64 p1 = _mm_slli_pi16(_mm_unpackhi_pi8(pair, zero), 7);
                out[c] = _mm_slli_pi16(
                    _mm_add_pi16(_mm_mulhi_pi16(p0, pairs[c].W0), _mm_mulhi_pi16(p1, pairs[c].W1)),
                    1);
            }
            continue;
        }
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
    // Byte 3 of every output pixel is 0.
    const __m64 colour = _mm_set_pi32(0x00FFFFFF, 0x00FFFFFF);
    for (int y = 0; y < rows; ++y) {
        Pixel* out = output + static_cast<unsigned>(y) * static_cast<unsigned>(stride);
        const int count = taps[y].Count;
        const __m64* w = reinterpret_cast<const __m64*>(taps[y].Weights);
        const __m64* first = reinterpret_cast<const __m64*>(
            work + static_cast<unsigned>(taps[y].First) * static_cast<unsigned>(columns));
        int c = 0;
        if (count == 2) {
            // The common case of enlarging: two neighbouring entries per step, two pixels stored
            // together.
            const __m64 w0 = w[0], w1 = w[1];
            const __m64* second = first + columns;
            for (; c + 1 < columns; c += 2) {
                const __m64 a =
                    _mm_add_pi16(_mm_mulhi_pi16(first[c], w0), _mm_mulhi_pi16(second[c], w1));
                const __m64 b = _mm_add_pi16(_mm_mulhi_pi16(first[c + 1], w0),
                                             _mm_mulhi_pi16(second[c + 1], w1));
                const __m64 bytes = _mm_packs_pu16(_mm_srli_pi16(a, 6), _mm_srli_pi16(b, 6));
                // Unaligned when the block starts at an odd column: x86 allows it.
                *reinterpret_cast<__m64*>(out + c) = _mm_and_si64(bytes, colour);
            }
        } else if (count == 1) {
            // A row that falls on a work row: one weight.
            const __m64 w0 = w[0];
            for (; c + 1 < columns; c += 2) {
                const __m64 a = _mm_mulhi_pi16(first[c], w0);
                const __m64 b = _mm_mulhi_pi16(first[c + 1], w0);
                const __m64 bytes = _mm_packs_pu16(_mm_srli_pi16(a, 6), _mm_srli_pi16(b, 6));
                *reinterpret_cast<__m64*>(out + c) = _mm_and_si64(bytes, colour);
            }
        } else {
            for (; c + 1 < columns; c += 2) {
                const __m64* tap = first + c;
                __m64 a = zero, b = zero;
                for (int k = 0; k < count; ++k, tap += columns) {
                    a = _mm_add_pi16(a, _mm_mulhi_pi16(tap[0], w[k]));
                    b = _mm_add_pi16(b, _mm_mulhi_pi16(tap[1], w[k]));
                }
                const __m64 bytes = _mm_packs_pu16(_mm_srli_pi16(a, 6), _mm_srli_pi16(b, 6));
                *reinterpret_cast<__m64*>(out + c) = _mm_and_si64(bytes, colour);
            }
        }
        for (; c < columns; ++c) {
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
