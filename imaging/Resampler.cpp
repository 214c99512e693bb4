#include "imaging/Resampler.h"

#include "imaging/FloatingPoint.h"

#include <cmath>
#include <cstring>

namespace {

double Tent(double distance) {
    return distance < 1.0 ? 1.0 - distance : 0.0;
}

// Where entry i sits in the source: its centre and its first and last tap.
struct EntrySpan {
    float Centre;
    int First;
    int Last;
};

EntrySpan SpanOf(const ContributorScale& scale, int i, int sourceSize) {
    EntrySpan span;
    // Output pixel 0 maps to source pixel 0: no half-pixel offset.
    span.Centre = RoundToFloat(static_cast<float>(i) * scale.Scale);
    span.First = static_cast<int>(std::floor(static_cast<double>(span.Centre) - scale.Width));
    span.Last = static_cast<int>(std::ceil(static_cast<double>(span.Centre) + scale.Width));
    if (span.First < 0) span.First = 0;
    if (span.Last > sourceSize - 1) span.Last = sourceSize - 1;
    // Only a centre beyond the source (which rounding alone cannot produce at sane sizes) would
    // leave no tap; keep one so that no list is ever empty.
    if (span.First > sourceSize - 1) span.First = sourceSize - 1;
    if (span.Last < span.First) span.Last = span.First;
    return span;
}

double DistanceOf(const EntrySpan& span, int j, const ContributorScale& scale) {
    return std::fabs(static_cast<double>(span.Centre) - j) * scale.FScale;
}

// Sums within 2^-40 of an integer are truncated from the extended-precision sum itself: the
// double sum differs from the exact one by less than 10^-12, and so does the extended sum.
constexpr double NearInteger = 1.0 / (1024.0 * 1024.0 * 1024.0 * 1024.0);
constexpr float SmallestExactWeight = 1.0f / (2048.0f * 1024.0f); // 2^-21

#if !defined(__i386__)
// The extended-precision sum compared with the integer the double sum came close to.
int VerticalNearInteger(const float* first, int step, const PlainContributor& entry, int near) {
    long double sum = 0;
    for (int k = 0; k < entry.Count; ++k)
        sum += static_cast<long double>(first[static_cast<std::size_t>(k) * step]) *
               static_cast<long double>(entry.Weights[k]);
    return sum < near ? near - 1 : near;
}

// sums[j] = sum over the taps of work x weight, tap after tap, for every value j of a block row.
template <int Count>
inline void VerticalSums(const float* base, int values, const float* weights, double* sums) {
    double w[Count];
    for (int k = 0; k < Count; ++k)
        w[k] = weights[k];
    for (int j = 0; j < values; ++j) {
        double sum = static_cast<double>(base[j]) * w[0];
        for (int k = 1; k < Count; ++k)
            sum += static_cast<double>(base[static_cast<std::size_t>(k) * values + j]) * w[k];
        sums[j] = sum;
    }
}

inline void VerticalSums(const float* base, int values, int count, const float* weights,
                         double* sums) {
    for (int j = 0; j < values; ++j)
        sums[j] = static_cast<double>(base[j]) * weights[0];
    for (int k = 1; k < count; ++k) {
        const float* row = base + static_cast<std::size_t>(k) * values;
        const double w = weights[k];
        for (int j = 0; j < values; ++j)
            sums[j] += static_cast<double>(row[j]) * w;
    }
}

// Two source rows at a time: two independent chains of float roundings.
inline void HorizontalTwoRows(const Pixel* tapA, const Pixel* tapB, const PlainContributor& entry,
                              float* outA, float* outB) {
    float a0 = 0, a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;
    for (int k = 0; k < entry.Count; ++k) {
        // Product and sum are exact in double precision: one rounding, to float.
        const double w = entry.Weights[k];
        const Pixel pa = tapA[k], pb = tapB[k];
        a0 = static_cast<float>(a0 + static_cast<double>(pa & 0xFF) * w);
        b0 = static_cast<float>(b0 + static_cast<double>(pb & 0xFF) * w);
        a1 = static_cast<float>(a1 + static_cast<double>((pa >> 8) & 0xFF) * w);
        b1 = static_cast<float>(b1 + static_cast<double>((pb >> 8) & 0xFF) * w);
        a2 = static_cast<float>(a2 + static_cast<double>((pa >> 16) & 0xFF) * w);
        b2 = static_cast<float>(b2 + static_cast<double>((pb >> 16) & 0xFF) * w);
    }
    outA[0] = a0;
    outA[1] = a1;
    outA[2] = a2;
    outB[0] = b0;
    outB[1] = b1;
    outB[2] = b2;
}
#endif

inline void HorizontalExtended(const Pixel* tap, const PlainContributor& entry, float* out) {
    float s0 = 0, s1 = 0, s2 = 0;
    for (int k = 0; k < entry.Count; ++k) {
        const long double w = entry.Weights[k];
        const Pixel p = tap[k];
        s0 = RoundToFloat(s0 + static_cast<long double>(p & 0xFF) * w);
        s1 = RoundToFloat(s1 + static_cast<long double>((p >> 8) & 0xFF) * w);
        s2 = RoundToFloat(s2 + static_cast<long double>((p >> 16) & 0xFF) * w);
    }
    out[0] = s0;
    out[1] = s1;
    out[2] = s2;
}

// The entry copies one pixel: every other weight is 0 and the sums are exact.
inline void HorizontalCopy(Pixel p, float* out) {
    out[0] = static_cast<float>(p & 0xFF);
    out[1] = static_cast<float>((p >> 8) & 0xFF);
    out[2] = static_cast<float>((p >> 16) & 0xFF);
}

} // namespace

Filter::~Filter() = default;

float TriangleFilter::Evaluate(float x) const {
    const float distance = x < 0 ? -x : x;
    return distance < Support ? RoundToFloat(Support - distance) : 0.0f;
}

ContributorScale::ContributorScale(int outputSize, int sourceSize) {
    Ratio = static_cast<double>(outputSize) / static_cast<double>(sourceSize);
    Scale = RoundToFloat(1.0 / Ratio);
    if (Scale > 1.0f) {
        Width = Scale;
        FScale = Ratio;
    } else {
        Width = 1.0;
        FScale = 1.0;
    }
}

bool PlainContributorList::Build(int outputSize, int sourceSize) {
    size = 0;
    if (outputSize <= 0 || sourceSize <= 0) return outputSize == 0;
    X87PrecisionScope doubles(X87PrecisionScope::Double);
    const ContributorScale scale(outputSize, sourceSize);
    std::size_t taps = 0;
    for (int i = 0; i < outputSize; ++i) {
        const EntrySpan span = SpanOf(scale, i, sourceSize);
        taps += static_cast<std::size_t>(span.Last - span.First + 1);
    }
    if (!entries.Allocate(static_cast<std::size_t>(outputSize)) || !weights.Allocate(taps))
        return false;
    float* w = weights.Get();
    for (int i = 0; i < outputSize; ++i) {
        const EntrySpan span = SpanOf(scale, i, sourceSize);
        PlainContributor& entry = entries[i];
        entry.First = span.First;
        entry.Count = span.Last - span.First + 1;
        entry.Weights = w;
        // The raw weights are stored as floats first and summed as stored.
        double sum = 0;
        for (int k = 0; k < entry.Count; ++k) {
            w[k] = RoundToFloat(Tent(DistanceOf(span, span.First + k, scale)) * scale.FScale);
            sum += w[k];
        }
        const float inverse = sum > 0 ? RoundToFloat(1.0 / sum) : 0.0f;
        entry.ExactInDouble = true;
        int ones = 0, zeros = 0;
        entry.OnlyTap = -1;
        for (int k = 0; k < entry.Count; ++k) {
            w[k] = RoundToFloat(w[k] * inverse);
            if (w[k] != 0 && w[k] < SmallestExactWeight) entry.ExactInDouble = false;
            if (w[k] == 0) ++zeros;
            if (w[k] == 1) {
                ++ones;
                entry.OnlyTap = k;
            }
        }
        if (ones != 1 || zeros != entry.Count - 1) entry.OnlyTap = -1;
        w += entry.Count;
    }
    size = outputSize;
    return true;
}

bool PackedContributorList::Build(int outputSize, int sourceSize, Direction direction) {
    size = 0;
    if (outputSize <= 0 || sourceSize <= 0) return outputSize == 0;
    X87PrecisionScope doubles(X87PrecisionScope::Double);
    const ContributorScale scale(outputSize, sourceSize);
    std::size_t taps = 0;
    int longest = 0;
    for (int i = 0; i < outputSize; ++i) {
        const EntrySpan span = SpanOf(scale, i, sourceSize);
        const int count = span.Last - span.First + 1;
        taps += static_cast<std::size_t>(count);
        if (count > longest) longest = count;
    }
    // The tents of one entry, kept until their sum is known.
    ImagingBlock<double> tents;
    if (taps > 0x7FFFFFFF || !entries.Allocate(static_cast<std::size_t>(outputSize)) ||
        !offsets.Allocate(static_cast<std::size_t>(outputSize)) || !weights.Allocate(taps) ||
        !tents.Allocate(static_cast<std::size_t>(longest)))
        return false;
    const TriangleFilter filter;
    int offset = 0;
    for (int i = 0; i < outputSize; ++i) {
        const EntrySpan span = SpanOf(scale, i, sourceSize);
        const int count = span.Last - span.First + 1;
        entries[i].First = span.First;
        entries[i].Count = count;
        offsets[i] = offset;
        PackedLanes* w = weights.Get() + offset;
        double* tent = tents.Get();
        double sum = 0;
        for (int k = 0; k < count; ++k) {
            const double distance = DistanceOf(span, span.First + k, scale);
            tent[k] =
                direction == Horizontal ? filter.Evaluate(RoundToFloat(distance)) : Tent(distance);
            sum += tent[k] * scale.FScale;
        }
        const double factor = sum > 0 ? scale.FScale / sum : 0.0;
        for (int k = 0; k < count; ++k) {
            double fixed = std::trunc(tent[k] * factor * 32767.0);
            if (fixed > 32767.0) fixed = 32767.0;
            const std::int16_t weight = static_cast<std::int16_t>(fixed);
            for (auto& lane : w[k].Lane)
                lane = weight;
        }
        offset += count;
    }
    size = outputSize;
    return true;
}

Resampler::Resampler(const Pixel* pixels, int width, int height)
    : pixels(pixels), width(width), height(height) {}

Resampler::~Resampler() = default;

void PlainHorizontalBlock(const Pixel* source, int sourceWidth, int rows,
                          const PlainContributor* entries, int columns, float* work) {
    const std::size_t stride = static_cast<std::size_t>(sourceWidth);
    const std::size_t values = static_cast<std::size_t>(columns) * 3;
    int r = 0;
#if !defined(__i386__)
    for (; r + 1 < rows; r += 2) {
        const Pixel* lineA = source + r * stride;
        const Pixel* lineB = lineA + stride;
        float* outA = work + r * values;
        float* outB = outA + values;
        for (int c = 0; c < columns; ++c) {
            const PlainContributor& entry = entries[c];
            if (entry.OnlyTap >= 0) {
                HorizontalCopy(lineA[entry.First + entry.OnlyTap], outA + 3 * c);
                HorizontalCopy(lineB[entry.First + entry.OnlyTap], outB + 3 * c);
            } else if (entry.ExactInDouble) {
                HorizontalTwoRows(lineA + entry.First, lineB + entry.First, entry, outA + 3 * c,
                                  outB + 3 * c);
            } else {
                HorizontalExtended(lineA + entry.First, entry, outA + 3 * c);
                HorizontalExtended(lineB + entry.First, entry, outB + 3 * c);
            }
        }
    }
#endif
    for (; r < rows; ++r) {
        const Pixel* line = source + r * stride;
        float* out = work + r * values;
        for (int c = 0; c < columns; ++c) {
            const PlainContributor& entry = entries[c];
            if (entry.OnlyTap >= 0)
                HorizontalCopy(line[entry.First + entry.OnlyTap], out + 3 * c);
            else
                HorizontalExtended(line + entry.First, entry, out + 3 * c);
        }
    }
}

void PlainVerticalBlock(const float* work, int columns, Pixel* output, int stride, int rows,
                        const PlainContributor* entries) {
    const int values = columns * 3;
    for (int y = 0; y < rows; ++y) {
        const PlainContributor& entry = entries[y];
        const float* base = work + static_cast<std::size_t>(entry.First) * values;
        Pixel* out = output + static_cast<std::size_t>(y) * stride;
        if (entry.OnlyTap >= 0) {
            // One weight of 1 and the rest 0: the sum is the work value itself.
            const float* row = base + static_cast<std::size_t>(entry.OnlyTap) * values;
            for (int c = 0; c < columns; ++c, row += 3)
                out[c] = PackPixel(static_cast<int>(row[2]), static_cast<int>(row[1]),
                                   static_cast<int>(row[0]));
            continue;
        }
#if defined(__i386__)
        for (int c = 0; c < columns; ++c) {
            Pixel p = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const float* first = base + 3 * c + channel;
                long double sum = 0;
                for (int k = 0; k < entry.Count; ++k)
                    sum += static_cast<long double>(first[static_cast<std::size_t>(k) * values]) *
                           static_cast<long double>(entry.Weights[k]);
                p |= (static_cast<Pixel>(static_cast<int>(sum)) & 0xFF) << (8 * channel);
            }
            out[c] = p;
        }
#else
        // Products of two floats are exact in double precision; the sums nearly so.
        double sums[3 * Resampler::BlockColumns];
        switch (entry.Count) {
        case 2:
            VerticalSums<2>(base, values, entry.Weights, sums);
            break;
        case 3:
            VerticalSums<3>(base, values, entry.Weights, sums);
            break;
        case 4:
            VerticalSums<4>(base, values, entry.Weights, sums);
            break;
        case 5:
            VerticalSums<5>(base, values, entry.Weights, sums);
            break;
        default:
            VerticalSums(base, values, entry.Count, entry.Weights, sums);
            break;
        }
        for (int c = 0; c < columns; ++c) {
            Pixel p = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const int j = 3 * c + channel;
                const double sum = sums[j];
                int value = static_cast<int>(sum); // truncation; the sums are not negative
                if (sum - value < NearInteger)
                    value = VerticalNearInteger(base + j, values, entry, value);
                else if (value + 1.0 - sum < NearInteger)
                    value = VerticalNearInteger(base + j, values, entry, value + 1);
                p |= (static_cast<Pixel>(value) & 0xFF) << (8 * channel);
            }
            out[c] = p;
        }
#endif
    }
}

PlainResampler::PlainResampler(const Pixel* pixels, int width, int height)
    : Resampler(pixels, width, height) {
    if (height > 0) work.Allocate(static_cast<std::size_t>(height) * BlockColumns * 3);
}

void PlainResampler::HorizontalPass(const PlainContributor* entries, int columns) {
    PlainHorizontalBlock(pixels, width, height, entries, columns, work.Get());
}

void PlainResampler::VerticalPass(Pixel* output, int stride, int rows,
                                  const PlainContributorList& vertical, int columns) {
    PlainVerticalBlock(work.Get(), columns, output, stride, rows, &vertical[0]);
}

Pixel* PlainResampler::Resize(int newWidth, int newHeight) {
    Pixel* output = AllocatePixels(newWidth, newHeight);
    if (output == nullptr || newWidth == 0 || newHeight == 0) return output;
    PlainContributorList horizontal, vertical;
    if (pixels == nullptr || width <= 0 || height <= 0 || !work ||
        !horizontal.Build(newWidth, width) || !vertical.Build(newHeight, height)) {
        ImagingFree(output);
        return nullptr;
    }
    X87PrecisionScope extended(X87PrecisionScope::Extended);
    for (int x = 0; x < newWidth; x += BlockColumns) {
        const int columns = newWidth - x < BlockColumns ? newWidth - x : BlockColumns;
        HorizontalPass(&horizontal[x], columns);
        VerticalPass(output + x, newWidth, newHeight, vertical, columns);
    }
    return output;
}

MmxResampler::MmxResampler(const Pixel* pixels, int width, int height)
    : Resampler(pixels, width, height) {
    if (height > 0) work.Allocate(static_cast<std::size_t>(height) * BlockColumns);
}

Pixel* MmxResampler::Resize(int newWidth, int newHeight) {
    Pixel* output = AllocatePixels(newWidth, newHeight);
    if (output == nullptr || newWidth == 0 || newHeight == 0) return output;
    PackedContributorList horizontal, vertical;
    if (pixels == nullptr || width <= 0 || height <= 0 || !work ||
        !horizontal.Build(newWidth, width, PackedContributorList::Horizontal) ||
        !vertical.Build(newHeight, height, PackedContributorList::Vertical)) {
        ImagingFree(output);
        return nullptr;
    }
    for (int x = 0; x < newWidth; x += BlockColumns) {
        const int columns = newWidth - x < BlockColumns ? newWidth - x : BlockColumns;
        const PackedLanes* weights = horizontal.Weights() + horizontal.WeightIndex(x);
#if LANTERNMOOR_HAVE_MMX
        PackedHorizontalMmx(pixels, width, height, horizontal.Entries() + x, weights, columns,
                            work.Get());
        PackedVerticalMmx(work.Get(), columns, output + x, newWidth, newHeight, vertical.Entries(),
                          vertical.Weights());
#else
        PackedHorizontalPortable(pixels, width, height, horizontal.Entries() + x, weights, columns,
                                 work.Get());
        PackedVerticalPortable(work.Get(), columns, output + x, newWidth, newHeight,
                               vertical.Entries(), vertical.Weights());
#endif
    }
    return output;
}
