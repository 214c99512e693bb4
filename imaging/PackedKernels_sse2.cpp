// The resampler's packed passes in SSE2 registers: the lane arithmetic of the MMX passes (and of
// the portable ones) with two work entries, or four output pixels, per register. Only intrinsics
// and functions of this file's own here: the 32-bit build compiles it alone with -msse2.
#include "imaging/PackedKernels.h"

#include "imaging/Resampler.h"

#include <emmintrin.h>

namespace {

// One work entry or weight (8 bytes) in the low half of a register, and both halves.
inline __m128i LoadLow(const void* p) {
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
inline __m128i Both(const PackedLanes& lanes) {
    const __m128i low = LoadLow(&lanes);
    return _mm_unpacklo_epi64(low, low);
}
inline void StoreLow(void* p, __m128i v) {
    _mm_storel_epi64(static_cast<__m128i*>(p), v);
}
inline void StoreHigh(void* p, __m128i v) {
    _mm_storeh_pd(static_cast<double*>(p), _mm_castsi128_pd(v));
}

// Pixel p of rows r (low half) and r + 1 (high half) as 16-bit lanes times 128.
inline __m128i TwoRows(Pixel a, Pixel b) {
    const __m128i both = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(a)),
                                            _mm_cvtsi32_si128(static_cast<int>(b)));
    return _mm_slli_epi16(_mm_unpacklo_epi8(both, _mm_setzero_si128()), 7);
}

} // namespace

void PackedHorizontalSse2(const Pixel* source, int sourceWidth, int rows, const PackedTaps* taps,
                          int columns, PackedLanes* work) {
    const __m128i zero = _mm_setzero_si128();
    // Enlarging, every entry has one or two taps: each becomes a pair of neighbouring pixels
    // loaded together, a missing tap taking weight 0 (whose products are 0 and change no sum).
    static const PackedLanes noWeight = {{0, 0, 0, 0}};
    struct Pair {
        __m128i W0;
        __m128i W1;
        int First;
    } pairs[Resampler::kBlockColumns];
    bool paired = sourceWidth >= 2 && columns <= Resampler::kBlockColumns;
    for (int c = 0; paired && c < columns; ++c) {
        const PackedTaps& t = taps[c];
        const __m128i none = Both(noWeight);
        if (t.Count == 2)
            pairs[c] = {Both(t.Weights[0]), Both(t.Weights[1]), t.First};
        else if (t.Count == 1 && t.First + 1 < sourceWidth)
            pairs[c] = {Both(t.Weights[0]), none, t.First};
        else if (t.Count == 1)
            pairs[c] = {none, Both(t.Weights[0]), t.First - 1};
        else if (t.Count == 0)
            pairs[c] = {none, none, 0};
        else
            paired = false;
    }
    const unsigned stride = static_cast<unsigned>(sourceWidth);
    const unsigned outStride = static_cast<unsigned>(columns);
    // Two rows at a time, row r in the low half of each register and row r + 1 in the high half:
    // the source rows lie a whole picture row apart, and taken together their cache misses
    // overlap.
    int r = 0;
    for (; r + 1 < rows; r += 2) {
        const Pixel* line = source + static_cast<unsigned>(r) * stride;
        PackedLanes* out = work + static_cast<unsigned>(r) * outStride;
        if (paired) {
            for (int c = 0; c < columns; ++c) {
                const Pixel* at = line + pairs[c].First;
                const __m128i a = _mm_unpacklo_epi8(LoadLow(at), zero);          // r: p0 p1
                const __m128i b = _mm_unpacklo_epi8(LoadLow(at + stride), zero); // r + 1
                const __m128i p0 = _mm_slli_epi16(_mm_unpacklo_epi64(a, b), 7);
                const __m128i p1 = _mm_slli_epi16(_mm_unpackhi_epi64(a, b), 7);
                const __m128i sum = _mm_slli_epi16(_mm_add_epi16(_mm_mulhi_epi16(p0, pairs[c].W0),
                                                                 _mm_mulhi_epi16(p1, pairs[c].W1)),
                                                   1);
                StoreLow(out + c, sum);
                StoreHigh(out + c + outStride, sum);
            }
            continue;
        }
        for (int c = 0; c < columns; ++c) {
            const Pixel* tap = line + taps[c].First;
            const PackedLanes* w = taps[c].Weights;
            __m128i acc = zero;
            for (int k = 0; k < taps[c].Count; ++k)
                acc = _mm_add_epi16(acc,
                                    _mm_mulhi_epi16(TwoRows(tap[k], tap[k + stride]), Both(w[k])));
            acc = _mm_slli_epi16(acc, 1);
            StoreLow(out + c, acc);
            StoreHigh(out + c + outStride, acc);
        }
    }
    if (r < rows) {
        // The last row alone: the same sums in the low half.
        const Pixel* line = source + static_cast<unsigned>(r) * stride;
        PackedLanes* out = work + static_cast<unsigned>(r) * outStride;
        for (int c = 0; c < columns; ++c) {
            const Pixel* tap = line + taps[c].First;
            const PackedLanes* w = taps[c].Weights;
            __m128i acc = zero;
            for (int k = 0; k < taps[c].Count; ++k)
                acc = _mm_add_epi16(acc, _mm_mulhi_epi16(TwoRows(tap[k], 0), LoadLow(&w[k])));
            StoreLow(out + c, _mm_slli_epi16(acc, 1));
        }
    }
}

void PackedVerticalSse2(const PackedLanes* work, int columns, Pixel* output, int stride, int rows,
                        const PackedTaps* taps) {
    // Byte 3 of every output pixel is 0.
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (int y = 0; y < rows; ++y) {
        Pixel* out = output + static_cast<unsigned>(y) * static_cast<unsigned>(stride);
        const int count = taps[y].Count;
        const PackedLanes* w = taps[y].Weights;
        const PackedLanes* first =
            work + static_cast<unsigned>(taps[y].First) * static_cast<unsigned>(columns);
        // Four neighbouring work entries (two per register) per step, four pixels stored
        // together; unaligned where the block starts at an odd column, which x86 allows.
        int c = 0;
        if (count == 2) {
            // The common case of enlarging.
            const __m128i w0 = Both(w[0]), w1 = Both(w[1]);
            const PackedLanes* second = first + columns;
            for (; c + 3 < columns; c += 4) {
                const __m128i* a = reinterpret_cast<const __m128i*>(first + c);
                const __m128i* b = reinterpret_cast<const __m128i*>(second + c);
                const __m128i s0 = _mm_add_epi16(_mm_mulhi_epi16(_mm_loadu_si128(a), w0),
                                                 _mm_mulhi_epi16(_mm_loadu_si128(b), w1));
                const __m128i s1 = _mm_add_epi16(_mm_mulhi_epi16(_mm_loadu_si128(a + 1), w0),
                                                 _mm_mulhi_epi16(_mm_loadu_si128(b + 1), w1));
                const __m128i bytes =
                    _mm_packus_epi16(_mm_srli_epi16(s0, 6), _mm_srli_epi16(s1, 6));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c), _mm_and_si128(bytes, colour));
            }
        } else {
            for (; c + 3 < columns; c += 4) {
                const PackedLanes* tap = first + c;
                __m128i s0 = _mm_setzero_si128(), s1 = _mm_setzero_si128();
                for (int k = 0; k < count; ++k, tap += columns) {
                    const __m128i weight = Both(w[k]);
                    const __m128i* at = reinterpret_cast<const __m128i*>(tap);
                    s0 = _mm_add_epi16(s0, _mm_mulhi_epi16(_mm_loadu_si128(at), weight));
                    s1 = _mm_add_epi16(s1, _mm_mulhi_epi16(_mm_loadu_si128(at + 1), weight));
                }
                const __m128i bytes =
                    _mm_packus_epi16(_mm_srli_epi16(s0, 6), _mm_srli_epi16(s1, 6));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c), _mm_and_si128(bytes, colour));
            }
        }
        for (; c < columns; ++c) {
            const PackedLanes* tap = first + c;
            __m128i sum = _mm_setzero_si128();
            for (int k = 0; k < count; ++k, tap += columns)
                sum = _mm_add_epi16(sum, _mm_mulhi_epi16(LoadLow(tap), LoadLow(&w[k])));
            const __m128i bytes = _mm_packus_epi16(_mm_srli_epi16(sum, 6), _mm_setzero_si128());
            out[c] = static_cast<Pixel>(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFFu;
        }
    }
}
