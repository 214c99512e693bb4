#include "imaging/PlainKernels.h"

#include "imaging/FloatingPoint.h"
#include "imaging/Resampler.h"

#include <cmath>

namespace {

constexpr float SmallestExactWeight = 1.0f / (2048.0f * 1024.0f); // 2^-21
constexpr float SmallestFlatWeight = 1.0f / (64.0f * 1024.0f);    // 2^-16

// Whether the weights add up to exactly 1: summed in double precision, with every rounding
// error of the sum measured (Knuth's two-sum), since a float sum may round.
bool SumsToExactlyOne(const float* weights, int count) {
    double sum = 0;
    for (int k = 0; k < count; ++k) {
        const double w = weights[k];
        const double next = sum + w;
        const double back = next - sum;
        const double error = (sum - (next - back)) + (w - back);
        if (error != 0) return false;
        sum = next;
    }
    return sum == 1.0;
}

// At most 16 significant bits: the low 8 of the 24-bit significand are 0 (and the weight is not
// so small that its significand is cut short).
bool ShortSignificand(float w) {
    int exponent = 0;
    const double significand = std::frexp(static_cast<double>(w), &exponent); // 0.5 <= s < 1
    const double scaled = std::ldexp(significand, 16);
    return w >= std::ldexp(1.0f, -126) && scaled == std::floor(scaled);
}

int ByteOf(Pixel p, int channel) {
    return static_cast<int>((p >> (8 * channel)) & 0xFF);
}

} // namespace

PlainTaps PlainTapsOf(const PlainContributor& entry) {
    PlainTaps taps;
    int lead = 0, count = entry.Count;
    while (count > 0 && entry.Weights[lead] == 0)
        ++lead, --count;
    while (count > 0 && entry.Weights[lead + count - 1] == 0)
        --count;
    taps.First = entry.First + lead;
    taps.Count = count;
    taps.Weights = entry.Weights + lead;
    bool exact = entry.ExactInDouble, large = true, negative = false, single = true;
    for (int k = 0; k < count; ++k) {
        const float w = taps.Weights[k];
        if (w != 0 && !ShortSignificand(w)) single = false;
        if (w != 0 && w < SmallestExactWeight) exact = false;
        if (w != 0 && w < SmallestFlatWeight) large = false;
        if (w < 0) negative = true;
    }
    taps.ExactInDouble = exact;
    taps.ExactInFloat = exact && single && !negative;
    taps.Copy = count == 1 && taps.Weights[0] == 1.0f;
    // The partial sums of equal 24-bit values with weights of at least 2^-16 (their bits spanning
    // at most 40 places) need at most 64 bits; two taps always fit.
    taps.FlatExact = count > 0 && (count <= 2 || large) && SumsToExactlyOne(taps.Weights, count);
    // Recursive summation of k non-negative products, each rounded, errs by less than
    // (k + 1) x 2^-24 of the sum; eight times that leaves room for the extended sums' own error.
    taps.Tolerance = count > 0 && count <= 1024 && !negative
                         ? static_cast<float>(count + 1) * (1.0f / (2048.0f * 1024.0f))
                         : 0.0f;
    return taps;
}

float PlainWorkBound(const PlainTaps* taps, int columns) {
    double largest = 0;
    int longest = 0;
    for (int c = 0; c < columns; ++c) {
        double sum = 0;
        for (int k = 0; k < taps[c].Count; ++k)
            sum += std::fabs(static_cast<double>(taps[c].Weights[k]));
        largest = sum > largest ? sum : largest;
        longest = taps[c].Count > longest ? taps[c].Count : longest;
    }
    // Each of the k roundings to float raises a partial sum by at most 2^-24 of it; the
    // factor leaves room for the double sum of the weights too.
    const double raised = 255.0 * largest * (1.0 + (longest + 2) * std::ldexp(1.0, -22));
    return static_cast<float>(raised * (1.0 + std::ldexp(1.0, -20)));
}

void PlainHorizontalExact(const Pixel* line, const PlainTaps& taps, float* out, std::size_t step) {
    const Pixel* tap = line + taps.First;
    float s0 = 0, s1 = 0, s2 = 0;
    for (int k = 0; k < taps.Count; ++k) {
        const long double w = taps.Weights[k];
        const Pixel p = tap[k];
        s0 = RoundToFloat(s0 + static_cast<long double>(ByteOf(p, 0)) * w);
        s1 = RoundToFloat(s1 + static_cast<long double>(ByteOf(p, 1)) * w);
        s2 = RoundToFloat(s2 + static_cast<long double>(ByteOf(p, 2)) * w);
    }
    out[0] = s0;
    out[step] = s1;
    out[2 * step] = s2;
}

int PlainVerticalExact(const float* first, std::size_t step, const PlainTaps& taps) {
    long double sum = 0;
    for (int k = 0; k < taps.Count; ++k)
        sum += static_cast<long double>(first[static_cast<std::size_t>(k) * step]) *
               static_cast<long double>(taps.Weights[k]);
    return static_cast<int>(sum) & 0xFF;
}

void PlainHorizontalScalar(const Pixel* source, int sourceWidth, int rows, const PlainTaps* taps,
                           int columns, float* work) {
    const std::size_t step = static_cast<std::size_t>(columns);
    for (int r = 0; r < rows; ++r) {
        const Pixel* line = source + static_cast<std::size_t>(r) * sourceWidth;
        float* out = work + static_cast<std::size_t>(r) * 3 * step;
        for (int c = 0; c < columns; ++c) {
            if (taps[c].Copy) {
                // Byte x 1 is exact.
                const Pixel p = line[taps[c].First];
                out[c] = static_cast<float>(ByteOf(p, 0));
                out[c + step] = static_cast<float>(ByteOf(p, 1));
                out[c + 2 * step] = static_cast<float>(ByteOf(p, 2));
            } else {
                PlainHorizontalExact(line, taps[c], out + c, step);
            }
        }
    }
}

void PlainVerticalScalar(const float* work, int columns, Pixel* output, int stride, int rows,
                         const PlainTaps* taps) {
    const std::size_t step = static_cast<std::size_t>(columns);
    const std::size_t values = 3 * step;
    for (int y = 0; y < rows; ++y) {
        const PlainTaps& row = taps[y];
        const float* base = work + static_cast<std::size_t>(row.First) * values;
        Pixel* out = output + static_cast<std::size_t>(y) * stride;
        for (int c = 0; c < columns; ++c) {
            Pixel p = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const float* first = base + channel * step + c;
                // The only weight is 1: the sum is the work value itself.
                const int value = row.Copy ? static_cast<int>(first[0]) & 0xFF
                                           : PlainVerticalExact(first, values, row);
                p |= static_cast<Pixel>(value) << (8 * channel);
            }
            out[c] = p;
        }
    }
}
