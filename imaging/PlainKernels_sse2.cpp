// The float passes in SSE2 for the native build, four output columns at a time.
//
// Horizontal: entries of at most two taps whose steps are exact in double precision go four at a
// time. When no weight has more than 16 significant bits, byte x weight is exact in single
// precision and both steps are float operations, each rounding an exact value once. Otherwise the
// first step (0 + byte x weight, rounded to float) is one single-precision multiplication, which
// rounds the exact product once, and the second adds the exact double product to it and rounds
// the exact sum once, on the conversion to float. Other entries take the designed steps.
//
// Vertical: the sum is formed in single precision. When it is farther from an integer than its
// error bound, the exact sum and its extended-precision rounding lie between the same integers,
// so all three truncate alike. The rest (mostly flat areas, where the sum lands on an integer)
// are decided exactly: equal values across taps whose weights add up to exactly 1 give the value
// itself; two-tap sums are settled in double precision; anything else, and the rare two-tap sum
// that double precision cannot settle, is summed in extended precision.
#include "imaging/PlainKernels.h"

#if LANTERNMOOR_SSE2

#include <emmintrin.h>

namespace {

constexpr int ChunkColumns = 32;
// How far ahead the horizontal pass asks for source rows (see PackedKernels_sse2.cpp).
constexpr int PrefetchRows = 16;

// Byte `Channel` of four pixels as 32-bit integers.
template <int Channel> inline __m128i ChannelOf(__m128i pixels) {
    return _mm_and_si128(_mm_srli_epi32(pixels, 8 * Channel), _mm_set1_epi32(0xFF));
}

inline __m128i LoadPixels(const Pixel* pixels) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels));
}

// Four columns of at most two taps each, seen through windows of two neighbouring pixels.
struct Group {
    int Start[4];
    __m128 Left;       // the weights of the left pixels
    __m128 Right;      // the weights of the right pixels
    __m128d RightLow;  // the same, as doubles, of columns 0 and 1
    __m128d RightHigh; // and of columns 2 and 3
    // Every product is exact in single precision: both steps are float operations.
    bool Single;
};

bool Windowed(const PlainTaps& taps) {
    return taps.ExactInDouble && taps.Count <= 2;
}

Group GroupOf(const PlainTaps* taps, int sourceWidth) {
    Group group;
    float left[4];
    double right[4];
    for (int i = 0; i < 4; ++i) {
        const PlainTaps& t = taps[i];
        if (t.Count == 2) {
            group.Start[i] = t.First;
            left[i] = t.Weights[0];
            right[i] = t.Weights[1];
        } else if (t.Count == 1 && t.First + 1 < sourceWidth) {
            // A right weight of 0 adds nothing to the rounded product.
            group.Start[i] = t.First;
            left[i] = t.Weights[0];
            right[i] = 0;
        } else if (t.Count == 1) {
            // A left weight of 0 gives 0, to which the exact product is added and rounded once.
            group.Start[i] = t.First - 1;
            left[i] = 0;
            right[i] = t.Weights[0];
        } else {
            group.Start[i] = 0;
            left[i] = 0;
            right[i] = 0;
        }
    }
    float rightFloats[4] = {static_cast<float>(right[0]), static_cast<float>(right[1]),
                            static_cast<float>(right[2]), static_cast<float>(right[3])};
    group.Left = _mm_loadu_ps(left);
    group.Right = _mm_loadu_ps(rightFloats);
    group.Single = taps[0].ExactInFloat && taps[1].ExactInFloat && taps[2].ExactInFloat &&
                   taps[3].ExactInFloat;
    group.RightLow = _mm_loadu_pd(right);
    group.RightHigh = _mm_loadu_pd(right + 2);
    return group;
}

// One channel of one source row through one group: four floats.
template <int Channel>
inline void HorizontalChannel(__m128i left, __m128i right, const Group& group, float* out) {
    const __m128 first = _mm_mul_ps(_mm_cvtepi32_ps(ChannelOf<Channel>(left)), group.Left);
    const __m128i x = ChannelOf<Channel>(right);
    const __m128d low =
        _mm_add_pd(_mm_cvtps_pd(first), _mm_mul_pd(_mm_cvtepi32_pd(x), group.RightLow));
    const __m128d high =
        _mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(first, first)),
                   _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(x, _MM_SHUFFLE(3, 2, 3, 2))),
                              group.RightHigh));
    _mm_storeu_ps(out, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
}

// The same when byte x weight is exact in single precision: the first step is that product, the
// second the float sum of two exact values, rounded once.
template <int Channel>
inline void HorizontalChannelSingle(__m128i left, __m128i right, const Group& group, float* out) {
    const __m128 first = _mm_mul_ps(_mm_cvtepi32_ps(ChannelOf<Channel>(left)), group.Left);
    const __m128 second = _mm_mul_ps(_mm_cvtepi32_ps(ChannelOf<Channel>(right)), group.Right);
    _mm_storeu_ps(out, _mm_add_ps(first, second));
}

// One source row through one group: four floats of each channel.
inline void HorizontalGroup(const Pixel* line, const Group& group, float* out, std::size_t step) {
    const __m128i a =
        _mm_unpacklo_epi64(LoadPixels(line + group.Start[0]), LoadPixels(line + group.Start[1]));
    const __m128i b =
        _mm_unpacklo_epi64(LoadPixels(line + group.Start[2]), LoadPixels(line + group.Start[3]));
    const __m128i left = _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i right = _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
    if (group.Single) {
        HorizontalChannelSingle<0>(left, right, group, out);
        HorizontalChannelSingle<1>(left, right, group, out + step);
        HorizontalChannelSingle<2>(left, right, group, out + 2 * step);
    } else {
        HorizontalChannel<0>(left, right, group, out);
        HorizontalChannel<1>(left, right, group, out + step);
        HorizontalChannel<2>(left, right, group, out + 2 * step);
    }
}

// One entry of one row by the designed steps: exact double steps rounded to float, or extended
// ones.
inline void HorizontalColumn(const Pixel* line, const PlainTaps& taps, float* out,
                             std::size_t step) {
    if (!taps.ExactInDouble) {
        PlainHorizontalExact(line, taps, out, step);
        return;
    }
    const Pixel* tap = line + taps.First;
    float s0 = 0, s1 = 0, s2 = 0;
    for (int k = 0; k < taps.Count; ++k) {
        const double w = taps.Weights[k];
        const Pixel p = tap[k];
        s0 = static_cast<float>(s0 + static_cast<double>(p & 0xFF) * w);
        s1 = static_cast<float>(s1 + static_cast<double>((p >> 8) & 0xFF) * w);
        s2 = static_cast<float>(s2 + static_cast<double>((p >> 16) & 0xFF) * w);
    }
    out[0] = s0;
    out[step] = s1;
    out[2 * step] = s2;
}

void HorizontalChunk(const Pixel* source, int sourceWidth, int rows, const PlainTaps* taps,
                     int count, int columns, float* work) {
    const std::size_t step = static_cast<std::size_t>(columns);
    Group groups[ChunkColumns / 4];
    bool windowed[ChunkColumns / 4];
    const int groupCount = count / 4;
    int lowest = sourceWidth, highest = 0;
    for (int g = 0; g < groupCount; ++g) {
        windowed[g] = sourceWidth >= 2;
        for (int i = 0; i < 4; ++i)
            windowed[g] = windowed[g] && Windowed(taps[4 * g + i]);
        if (windowed[g]) groups[g] = GroupOf(taps + 4 * g, sourceWidth);
    }
    for (int c = 0; c < count; ++c)
        if (taps[c].Count > 0) {
            lowest = taps[c].First - 1 < lowest ? taps[c].First - 1 : lowest;
            highest =
                taps[c].First + taps[c].Count > highest ? taps[c].First + taps[c].Count : highest;
        }
    if (lowest < 0) lowest = 0;
    const std::size_t lineBytes = static_cast<std::size_t>(sourceWidth) * sizeof(Pixel);
    const char* stripStart = reinterpret_cast<const char*>(source + lowest);
    const char* stripEnd = reinterpret_cast<const char*>(source + highest);
    for (int r = 0; r < rows; ++r) {
        const Pixel* line = source + static_cast<std::size_t>(r) * sourceWidth;
        float* out = work + static_cast<std::size_t>(r) * 3 * step;
        if (r + PrefetchRows < rows && stripStart < stripEnd) {
            const std::size_t ahead = static_cast<std::size_t>(r + PrefetchRows) * lineBytes;
            for (const char* p = stripStart; p < stripEnd; p += 64)
                _mm_prefetch(p + ahead, _MM_HINT_T0);
            _mm_prefetch(stripEnd - 1 + ahead, _MM_HINT_T0);
        }
        for (int g = 0; g < groupCount; ++g) {
            if (windowed[g]) {
                HorizontalGroup(line, groups[g], out + 4 * g, step);
            } else {
                for (int c = 4 * g; c < 4 * g + 4; ++c)
                    HorizontalColumn(line, taps[c], out + c, step);
            }
        }
        for (int c = 4 * groupCount; c < count; ++c)
            HorizontalColumn(line, taps[c], out + c, step);
    }
}

// Four pixels from the low bytes of their channel values.
inline void StorePixels(Pixel* out, __m128i b, __m128i g, __m128i r) {
    const __m128i mask = _mm_set1_epi32(0xFF);
    const __m128i pixels = _mm_or_si128(_mm_and_si128(b, mask),
                                        _mm_or_si128(_mm_slli_epi32(_mm_and_si128(g, mask), 8),
                                                     _mm_slli_epi32(_mm_and_si128(r, mask), 16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), pixels);
}

// One output pixel by the designed arithmetic.
Pixel ExactPixel(const float* first, std::size_t step, const PlainTaps& taps) {
    Pixel p = 0;
    for (int channel = 0; channel < 3; ++channel)
        p |= static_cast<Pixel>(PlainVerticalExact(first + channel * step, 3 * step, taps))
             << (8 * channel);
    return p;
}

// Truncated sums of four columns of one channel; lanes whose truncation the single-precision sum
// cannot decide are decided exactly.
template <int Taps>
inline __m128i VerticalChannel(const float* first, std::size_t values, const PlainTaps& taps,
                               const __m128* weights, const __m128& tolerance) {
    const int count = Taps > 0 ? Taps : taps.Count;
    __m128 sum = _mm_mul_ps(_mm_loadu_ps(first), weights[0]);
    for (int k = 1; k < count; ++k)
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(first + k * values),
                                         Taps > 0 ? weights[k] : _mm_set1_ps(taps.Weights[k])));
    const __m128 margin = _mm_mul_ps(sum, tolerance);
    const __m128i above = _mm_cvttps_epi32(_mm_add_ps(sum, margin));
    const __m128i below = _mm_cvttps_epi32(_mm_sub_ps(sum, margin));
    const __m128i decided = _mm_cmpeq_epi32(above, below);
    if (_mm_movemask_epi8(decided) == 0xFFFF) return above;
    __m128i value = above;
    __m128i settled = decided;
    if (taps.FlatExact) {
        // Equal values across the taps: the sum is exactly that value.
        const __m128 v = _mm_loadu_ps(first);
        __m128 flat = _mm_castsi128_ps(_mm_set1_epi32(-1));
        for (int k = 1; k < count; ++k)
            flat = _mm_and_ps(flat, _mm_cmpeq_ps(v, _mm_loadu_ps(first + k * values)));
        const __m128i flatLanes = _mm_andnot_si128(decided, _mm_castps_si128(flat));
        value = _mm_or_si128(_mm_andnot_si128(flatLanes, value),
                             _mm_and_si128(flatLanes, _mm_cvttps_epi32(v)));
        settled = _mm_or_si128(settled, flatLanes);
        if (_mm_movemask_epi8(settled) == 0xFFFF) return value;
    }
    alignas(16) int lanes[4];
    alignas(16) int known[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), value);
    _mm_store_si128(reinterpret_cast<__m128i*>(known), settled);
    for (int i = 0; i < 4; ++i)
        if (known[i] == 0) lanes[i] = PlainVerticalExact(first + i, values, taps);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}

template <int Taps>
void VerticalRow(const float* base, int columns, Pixel* out, const PlainTaps& taps) {
    const std::size_t step = static_cast<std::size_t>(columns);
    const std::size_t values = 3 * step;
    __m128 weights[Taps > 0 ? Taps : 1];
    weights[0] = _mm_set1_ps(taps.Weights[0]);
    for (int k = 1; k < Taps; ++k)
        weights[k] = _mm_set1_ps(taps.Weights[k]);
    const __m128 tolerance = _mm_set1_ps(taps.Tolerance);
    int c = 0;
    for (; c + 4 <= columns; c += 4) {
        const float* first = base + c;
        const __m128i b = VerticalChannel<Taps>(first, values, taps, weights, tolerance);
        const __m128i g = VerticalChannel<Taps>(first + step, values, taps, weights, tolerance);
        const __m128i r = VerticalChannel<Taps>(first + 2 * step, values, taps, weights, tolerance);
        StorePixels(out + c, b, g, r);
    }
    for (; c < columns; ++c)
        out[c] = ExactPixel(base + c, step, taps);
}

// Two taps whose weights add up to exactly 1: the sum is a0 + (a1 - a0) x w1, formed so in single
// precision. Equal values make it exactly a0 (the difference is 0), which truncates like the exact
// sum. Otherwise, for values from 0 to `largest`, it lies within 3.02 x 2^-24 x largest of the
// exact sum; `margin` is 8 x 2^-24 x largest, and the lanes nearer than that to an integer are
// decided exactly.
inline __m128i FlatPairChannel(const float* first, std::size_t values, __m128 weight, __m128 margin,
                               __m128& decided) {
    const __m128 a0 = _mm_loadu_ps(first);
    const __m128 difference = _mm_sub_ps(_mm_loadu_ps(first + values), a0);
    const __m128 sum = _mm_add_ps(a0, _mm_mul_ps(difference, weight));
    const __m128i above = _mm_cvttps_epi32(_mm_add_ps(sum, margin));
    const __m128i below = _mm_cvttps_epi32(_mm_sub_ps(sum, margin));
    const __m128 flat = _mm_cmpeq_ps(difference, _mm_setzero_ps());
    decided = _mm_and_ps(decided, _mm_or_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(above, below)), flat));
    return _mm_cvttps_epi32(sum);
}

// Two taps in double precision, for the lanes the single-precision sum left open: the products
// are exact and the sum s is the exact sum rounded once to 53 bits, so its truncation is that of
// the extended sum unless s is an integer above the exact sum (as the two-sum error tells). Those
// lanes are marked in `open`.
inline __m128i PairChannelInDouble(const float* first, std::size_t values, __m128d w0, __m128d w1,
                                   __m128& open) {
    const __m128 a0 = _mm_loadu_ps(first);
    const __m128 a1 = _mm_loadu_ps(first + values);
    __m128i truncated[2];
    __m128d undecided[2];
    for (int half = 0; half < 2; ++half) {
        const __m128 x0 = half == 0 ? a0 : _mm_movehl_ps(a0, a0);
        const __m128 x1 = half == 0 ? a1 : _mm_movehl_ps(a1, a1);
        const __m128d p0 = _mm_mul_pd(_mm_cvtps_pd(x0), w0);
        const __m128d p1 = _mm_mul_pd(_mm_cvtps_pd(x1), w1);
        const __m128d sum = _mm_add_pd(p0, p1);
        const __m128d back = _mm_sub_pd(sum, p0);
        const __m128d error =
            _mm_add_pd(_mm_sub_pd(p0, _mm_sub_pd(sum, back)), _mm_sub_pd(p1, back));
        truncated[half] = _mm_cvttpd_epi32(sum);
        const __m128d integer = _mm_cmpeq_pd(_mm_cvtepi32_pd(truncated[half]), sum);
        undecided[half] = _mm_and_pd(integer, _mm_cmplt_pd(error, _mm_setzero_pd()));
    }
    open = _mm_or_ps(open, _mm_shuffle_ps(_mm_castpd_ps(undecided[0]), _mm_castpd_ps(undecided[1]),
                                          _MM_SHUFFLE(2, 0, 2, 0)));
    return _mm_unpacklo_epi64(truncated[0], truncated[1]);
}

// Settles the lanes of a group of four pixels that the single-precision sums left undecided.
void SettlePair(const float* first, std::size_t step, const PlainTaps& taps, int decided,
                Pixel* out) {
    const std::size_t values = 3 * step;
    const __m128d w0 = _mm_set1_pd(taps.Weights[0]);
    const __m128d w1 = _mm_set1_pd(taps.Weights[1]);
    __m128 open = _mm_setzero_ps();
    const __m128i b = PairChannelInDouble(first, values, w0, w1, open);
    const __m128i g = PairChannelInDouble(first + step, values, w0, w1, open);
    const __m128i r = PairChannelInDouble(first + 2 * step, values, w0, w1, open);
    alignas(16) Pixel pixels[4];
    StorePixels(pixels, b, g, r);
    const int left = _mm_movemask_ps(open);
    for (int i = 0; i < 4; ++i) {
        if (decided & (1 << i)) continue;
        out[i] = (left & (1 << i)) ? ExactPixel(first + i, step, taps) : pixels[i];
    }
}

// The lanes of a group of four pixels whose values are integers in both taps and all channels.
// With values below 256 and a weight that is a multiple of 2^-16, every step of the single-
// precision sum is exact for them (the difference has at most 9 bits, its product and the sum at
// most 24), so it is the exact sum.
int IntegerLanes(const float* first, std::size_t step) {
    __m128 integral = _mm_castsi128_ps(_mm_set1_epi32(-1));
    for (int k = 0; k < 2; ++k)
        for (int channel = 0; channel < 3; ++channel) {
            const __m128 v = _mm_loadu_ps(first + k * 3 * step + channel * step);
            integral = _mm_and_ps(integral, _mm_cmpeq_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(v)), v));
        }
    return _mm_movemask_ps(integral);
}

void FlatPairRow(const float* base, int columns, Pixel* out, const PlainTaps& taps, float largest) {
    const std::size_t step = static_cast<std::size_t>(columns);
    const std::size_t values = 3 * step;
    const __m128 weight = _mm_set1_ps(taps.Weights[1]);
    const float scaledWeight = taps.Weights[1] * 65536.0f;
    const bool fixedWeight = largest < 256.0f && taps.Weights[1] > 0 && taps.Weights[1] < 1 &&
                             scaledWeight == static_cast<float>(static_cast<int>(scaledWeight));
    const __m128 margin =
        _mm_set1_ps((largest > 1.0f ? largest : 1.0f) * (8.0f / (16.0f * 1024.0f * 1024.0f)));
    int c = 0;
    for (; c + 4 <= columns; c += 4) {
        const float* first = base + c;
        __m128 decided = _mm_castsi128_ps(_mm_set1_epi32(-1));
        const __m128i b = FlatPairChannel(first, values, weight, margin, decided);
        const __m128i g = FlatPairChannel(first + step, values, weight, margin, decided);
        const __m128i r = FlatPairChannel(first + 2 * step, values, weight, margin, decided);
        StorePixels(out + c, b, g, r);
        int lanes = _mm_movemask_ps(decided);
        if (lanes != 0xF && fixedWeight) lanes |= IntegerLanes(first, step);
        if (lanes != 0xF) SettlePair(first, step, taps, lanes, out + c);
    }
    for (; c < columns; ++c)
        out[c] = ExactPixel(base + c, step, taps);
}

// The only weight is 1: the sum is the work value itself.
void CopyRow(const float* base, int columns, Pixel* out) {
    const std::size_t step = static_cast<std::size_t>(columns);
    const __m128i mask = _mm_set1_epi32(0xFF);
    int c = 0;
    for (; c + 4 <= columns; c += 4) {
        const float* first = base + c;
        const __m128i b = _mm_and_si128(_mm_cvttps_epi32(_mm_loadu_ps(first)), mask);
        const __m128i g = _mm_and_si128(_mm_cvttps_epi32(_mm_loadu_ps(first + step)), mask);
        const __m128i r = _mm_and_si128(_mm_cvttps_epi32(_mm_loadu_ps(first + 2 * step)), mask);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out + c),
            _mm_or_si128(b, _mm_or_si128(_mm_slli_epi32(g, 8), _mm_slli_epi32(r, 16))));
    }
    for (; c < columns; ++c)
        out[c] = PackPixel(static_cast<unsigned>(static_cast<int>(base[c + 2 * step])),
                           static_cast<unsigned>(static_cast<int>(base[c + step])),
                           static_cast<unsigned>(static_cast<int>(base[c])));
}

} // namespace

void PlainHorizontalSse2(const Pixel* source, int sourceWidth, int rows, const PlainTaps* taps,
                         int columns, float* work) {
    for (int c = 0; c < columns; c += ChunkColumns) {
        const int count = columns - c < ChunkColumns ? columns - c : ChunkColumns;
        HorizontalChunk(source, sourceWidth, rows, taps + c, count, columns, work + c);
    }
}

void PlainVerticalSse2(const float* work, int columns, Pixel* output, int stride, int rows,
                       const PlainTaps* taps, float largest) {
    const std::size_t values = 3 * static_cast<std::size_t>(columns);
    for (int y = 0; y < rows; ++y) {
        const PlainTaps& row = taps[y];
        Pixel* out = output + static_cast<std::size_t>(y) * stride;
        if (row.Count == 0) {
            for (int c = 0; c < columns; ++c)
                out[c] = 0;
            continue;
        }
        const float* base = work + static_cast<std::size_t>(row.First) * values;
        if (row.Copy) {
            CopyRow(base, columns, out);
            continue;
        }
        if (row.Tolerance == 0) {
            PlainVerticalScalar(work, columns, out, stride, 1, &row);
            continue;
        }
        if (row.Count == 2 && row.FlatExact && largest >= 0) {
            FlatPairRow(base, columns, out, row, largest);
            continue;
        }
        switch (row.Count) {
        case 1:
            VerticalRow<1>(base, columns, out, row);
            break;
        case 2:
            VerticalRow<2>(base, columns, out, row);
            break;
        case 3:
            VerticalRow<3>(base, columns, out, row);
            break;
        default:
            VerticalRow<0>(base, columns, out, row);
            break;
        }
    }
}

#endif
