#include "imaging/PlainKernels.h"

#include "imaging/FloatingPoint.h"
#include "imaging/Resampler.h"

namespace {

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
    taps.Copy = count == 1 && taps.Weights[0] == 1.0f;
    return taps;
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
