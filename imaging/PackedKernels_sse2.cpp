// The packed passes in SSE2 for the native build. pmulhw is mulhigh and the 16-bit lanes wrap as
// the MMX ones do; a sum of wrapping lanes does not depend on the order of its terms, so two
// pixels (or two work entries) go through each instruction and the results are those of the
// portable passes.
#include "imaging/PackedKernels.h"

#if LANTERNMOOR_SSE2

#include <emmintrin.h>

namespace {

// Columns whose set-up is kept on the stack at a time.
constexpr int ChunkColumns = 32;
// How far ahead the horizontal pass asks for source rows.
constexpr int PrefetchRows = 8;

inline __m128i LoadLanes(const PackedLanes& lanes) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&lanes));
}

inline __m128i LoadPixels(const Pixel* pixels) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels));
}

// Four lanes of 128 x byte.
inline __m128i ScaledPixel(Pixel p) {
    return _mm_slli_epi16(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p)), _mm_setzero_si128()), 7);
}

// A column of at most two taps, seen through a window of two neighbouring source pixels: the
// weights of the two pixels side by side, 0 for a pixel outside the taps.
struct Window {
    int Start;
    __m128i Weights;
};

Window WindowOf(const PackedTaps& taps, int sourceWidth) {
    const __m128i zero = _mm_setzero_si128();
    Window window;
    if (taps.Count == 2) {
        window.Start = taps.First;
        window.Weights = _mm_unpacklo_epi64(LoadLanes(taps.Weights[0]), LoadLanes(taps.Weights[1]));
    } else if (taps.Count == 1 && taps.First + 1 < sourceWidth) {
        window.Start = taps.First;
        window.Weights = _mm_unpacklo_epi64(LoadLanes(taps.Weights[0]), zero);
    } else if (taps.Count == 1) {
        window.Start = taps.First - 1;
        window.Weights = _mm_unpacklo_epi64(zero, LoadLanes(taps.Weights[0]));
    } else {
        window.Start = 0;
        window.Weights = zero;
    }
    return window;
}

// Any number of taps, one at a time: one entry of one row.
inline __m128i TapByTap(const Pixel* line, const PackedTaps& taps) {
    const Pixel* tap = line + taps.First;
    __m128i acc = _mm_setzero_si128();
    for (int k = 0; k < taps.Count; ++k)
        acc = _mm_add_epi16(acc, _mm_mulhi_epi16(ScaledPixel(tap[k]), LoadLanes(taps.Weights[k])));
    return _mm_slli_epi16(acc, 1);
}

// Both windows' pixels times their weights, eight lanes each.
inline __m128i Windowed(const Pixel* line, const Window& window) {
    const __m128i pixels = _mm_unpacklo_epi8(LoadPixels(line + window.Start), _mm_setzero_si128());
    return _mm_mulhi_epi16(_mm_slli_epi16(pixels, 7), window.Weights);
}

void HorizontalChunk(const Pixel* source, int sourceWidth, int rows, const PackedTaps* taps,
                     int count, int columns, PackedLanes* work) {
    Window windows[ChunkColumns];
    bool windowed[ChunkColumns + 1];
    int lowest = sourceWidth, highest = 0;
    for (int c = 0; c < count; ++c) {
        windowed[c] = sourceWidth >= 2 && taps[c].Count <= 2;
        if (windowed[c]) windows[c] = WindowOf(taps[c], sourceWidth);
        if (taps[c].Count > 0) {
            lowest = taps[c].First - 1 < lowest ? taps[c].First - 1 : lowest;
            highest = taps[c].First + taps[c].Count + 1 > highest
                          ? taps[c].First + taps[c].Count + 1
                          : highest;
        }
    }
    windowed[count] = false;
    bool allWindowed = true;
    for (int c = 0; c < count; ++c)
        allWindowed = allWindowed && windowed[c];
    lowest = lowest < 0 ? 0 : lowest;
    highest = highest > sourceWidth ? sourceWidth : highest;
    // Rows lie a whole source line apart, which the hardware does not prefetch across pages: ask
    // for the strip of a row a few rows ahead.
    const char* stripStart = reinterpret_cast<const char*>(source + lowest);
    const char* stripEnd = reinterpret_cast<const char*>(source + highest);
    const std::size_t lineBytes = static_cast<std::size_t>(sourceWidth) * sizeof(Pixel);
    for (int r = 0; r < rows; ++r) {
        const Pixel* line = source + static_cast<std::size_t>(r) * sourceWidth;
        PackedLanes* out = work + static_cast<std::size_t>(r) * columns;
        if (r + PrefetchRows < rows && stripStart < stripEnd) {
            const std::size_t ahead = static_cast<std::size_t>(r + PrefetchRows) * lineBytes;
            for (const char* p = stripStart; p < stripEnd; p += 64)
                _mm_prefetch(p + ahead, _MM_HINT_T0);
            _mm_prefetch(stripEnd - 1 + ahead, _MM_HINT_T0);
        }
        if (allWindowed) {
            int c = 0;
            for (; c + 1 < count; c += 2) {
                const __m128i a = Windowed(line, windows[c]);
                const __m128i b = Windowed(line, windows[c + 1]);
                // Left pixels of both windows plus right pixels of both windows.
                const __m128i sum =
                    _mm_add_epi16(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c), _mm_slli_epi16(sum, 1));
            }
            if (c < count) {
                const __m128i a = Windowed(line, windows[c]);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + c),
                                 _mm_slli_epi16(_mm_add_epi16(a, _mm_srli_si128(a, 8)), 1));
            }
            continue;
        }
        for (int c = 0; c < count;) {
            __m128i* entry = reinterpret_cast<__m128i*>(out + c);
            if (windowed[c]) {
                const __m128i a = Windowed(line, windows[c]);
                _mm_storel_epi64(entry, _mm_slli_epi16(_mm_add_epi16(a, _mm_srli_si128(a, 8)), 1));
                ++c;
            } else {
                _mm_storel_epi64(entry, TapByTap(line, taps[c]));
                ++c;
            }
        }
    }
}

inline __m128i Replicated(const PackedLanes& lanes) {
    const __m128i w = LoadLanes(lanes);
    return _mm_unpacklo_epi64(w, w);
}

// Eight lanes (two neighbouring work entries) of sum(mulhigh(work, weight)) >> 6.
template <int Taps>
inline __m128i VerticalSum(const PackedLanes* first, std::size_t step, const __m128i* weights,
                           const PackedLanes* lanes, int count) {
    __m128i acc = _mm_setzero_si128();
    const int taken = Taps > 0 ? Taps : count;
    for (int k = 0; k < taken; ++k, first += step) {
        const __m128i w = Taps > 0 ? weights[k] : Replicated(lanes[k]);
        acc = _mm_add_epi16(
            acc, _mm_mulhi_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first)), w));
    }
    return _mm_srli_epi16(acc, 6);
}

// One output row of a block; Taps is the tap count, or 0 for any count.
template <int Taps>
void VerticalRow(const PackedLanes* first, int columns, Pixel* out, const PackedTaps& taps) {
    __m128i weights[Taps > 0 ? Taps : 1];
    for (int k = 0; k < Taps; ++k)
        weights[k] = Replicated(taps.Weights[k]);
    const std::size_t step = static_cast<std::size_t>(columns);
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    int c = 0;
    for (; c + 4 <= columns; c += 4) {
        const __m128i a = VerticalSum<Taps>(first + c, step, weights, taps.Weights, taps.Count);
        const __m128i b = VerticalSum<Taps>(first + c + 2, step, weights, taps.Weights, taps.Count);
        // The shifted words are not negative: the unsigned saturation clamps them to 255.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c),
                         _mm_and_si128(_mm_packus_epi16(a, b), colour));
    }
    for (; c < columns; ++c) {
        __m128i acc = _mm_setzero_si128();
        const PackedLanes* tap = first + c;
        for (int k = 0; k < taps.Count; ++k, tap += step)
            acc = _mm_add_epi16(acc, _mm_mulhi_epi16(LoadLanes(*tap), LoadLanes(taps.Weights[k])));
        const __m128i bytes = _mm_packus_epi16(_mm_srli_epi16(acc, 6), acc);
        out[c] = static_cast<Pixel>(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFFu;
    }
}

} // namespace

void PackedHorizontalSse2(const Pixel* source, int sourceWidth, int rows, const PackedTaps* taps,
                          int columns, PackedLanes* work) {
    for (int c = 0; c < columns; c += ChunkColumns) {
        const int count = columns - c < ChunkColumns ? columns - c : ChunkColumns;
        HorizontalChunk(source, sourceWidth, rows, taps + c, count, columns, work + c);
    }
}

void PackedVerticalSse2(const PackedLanes* work, int columns, Pixel* output, int stride, int rows,
                        const PackedTaps* taps) {
    for (int y = 0; y < rows; ++y) {
        Pixel* out = output + static_cast<std::size_t>(y) * stride;
        const PackedTaps& row = taps[y];
        const PackedLanes* first =
            work + static_cast<std::size_t>(row.First) * static_cast<std::size_t>(columns);
        switch (row.Count) {
        case 0:
            for (int c = 0; c < columns; ++c)
                out[c] = 0;
            break;
        case 1:
            VerticalRow<1>(first, columns, out, row);
            break;
        case 2:
            VerticalRow<2>(first, columns, out, row);
            break;
        case 3:
            VerticalRow<3>(first, columns, out, row);
            break;
        default:
            VerticalRow<0>(first, columns, out, row);
            break;
        }
    }
}

#endif
