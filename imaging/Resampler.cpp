#include "imaging/Resampler.h"

#include "base/ProcessorInfo.h"
#include "imaging/FloatingPoint.h"
#include "imaging/PlainKernels.h"

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
    span.First = FloorToInt(static_cast<double>(span.Centre) - scale.Width);
    span.Last = CeilToInt(static_cast<double>(span.Centre) + scale.Width);
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
    EntryCount = 0;
    if (outputSize <= 0 || sourceSize <= 0) return outputSize == 0;
    X87PrecisionScope doubles(X87PrecisionScope::Double);
    const ContributorScale scale(outputSize, sourceSize);
    std::size_t taps = 0;
    for (int i = 0; i < outputSize; ++i) {
        const EntrySpan span = SpanOf(scale, i, sourceSize);
        taps += static_cast<std::size_t>(span.Last - span.First + 1);
    }
    if (!EntryBlock.Allocate(static_cast<std::size_t>(outputSize)) || !WeightBlock.Allocate(taps))
        return false;
    float* w = WeightBlock.Get();
    for (int i = 0; i < outputSize; ++i) {
        const EntrySpan span = SpanOf(scale, i, sourceSize);
        PlainContributor& entry = EntryBlock[i];
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
        for (int k = 0; k < entry.Count; ++k)
            w[k] = RoundToFloat(w[k] * inverse);
        w += entry.Count;
    }
    EntryCount = outputSize;
    return true;
}

bool PackedContributorList::Build(int outputSize, int sourceSize, Direction direction) {
    EntryCount = 0;
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
    if (taps > 0x7FFFFFFF || !EntryBlock.Allocate(static_cast<std::size_t>(outputSize)) ||
        !Offsets.Allocate(static_cast<std::size_t>(outputSize)) || !WeightBlock.Allocate(taps) ||
        !tents.Allocate(static_cast<std::size_t>(longest)))
        return false;
    const TriangleFilter filter;
    int offset = 0;
    for (int i = 0; i < outputSize; ++i) {
        const EntrySpan span = SpanOf(scale, i, sourceSize);
        const int count = span.Last - span.First + 1;
        EntryBlock[i].First = span.First;
        EntryBlock[i].Count = count;
        Offsets[i] = offset;
        PackedLanes* w = WeightBlock.Get() + offset;
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
            // Neither factor is negative: truncating is flooring.
            const int fixed = FloorToInt(tent[k] * factor * 32767.0);
            const std::int16_t weight = static_cast<std::int16_t>(fixed > 32767 ? 32767 : fixed);
            for (auto& lane : w[k].Lane)
                lane = weight;
        }
        offset += count;
    }
    EntryCount = outputSize;
    return true;
}

Resampler::Resampler(const Pixel* pixels, int width, int height)
    : Pixels(pixels), Width(width), Height(height) {}

Resampler::~Resampler() = default;

PlainResampler::PlainResampler(const Pixel* pixels, int width, int height)
    : Resampler(pixels, width, height) {}

std::size_t PlainResampler::WorkBytes() const {
    return Height > 0 ? static_cast<std::size_t>(Height) * kBlockColumns * 3 * sizeof(float) : 0;
}

namespace {

// Resize through ResizeInto: a new buffer, freed again when the resampler fails.
template <class Kind> Pixel* ResizeWith(Kind& resampler, int newWidth, int newHeight) {
    Pixel* output = AllocatePixels(newWidth, newHeight);
    if (output == nullptr || newWidth == 0 || newHeight == 0) return output;
    if (resampler.ResizeInto(newWidth, newHeight, output)) return output;
    ImagingFree(output);
    return nullptr;
}

} // namespace

Pixel* PlainResampler::Resize(int newWidth, int newHeight) {
    return ResizeWith(*this, newWidth, newHeight);
}

bool PlainResampler::ResizeInto(int newWidth, int newHeight, Pixel* output, void* workColumn) {
    if (newWidth <= 0 || newHeight <= 0) return true;
    if (Pixels == nullptr || Width <= 0 || Height <= 0) return false;
    if (workColumn == nullptr && !Work &&
        !Work.Allocate(static_cast<std::size_t>(Height) * kBlockColumns * 3))
        return false;
    float* const column = workColumn != nullptr ? static_cast<float*>(workColumn) : Work.Get();
    PlainContributorList horizontal, vertical;
    ImagingBlock<PlainTaps> horizontalTaps, verticalTaps;
    if (!horizontal.Build(newWidth, Width) || !vertical.Build(newHeight, Height) ||
        !horizontalTaps.Allocate(static_cast<std::size_t>(newWidth)) ||
        !verticalTaps.Allocate(static_cast<std::size_t>(newHeight)))
        return false;
    for (int x = 0; x < newWidth; ++x)
        horizontalTaps[x] = PlainTapsOf(horizontal[x]);
    for (int y = 0; y < newHeight; ++y)
        verticalTaps[y] = PlainTapsOf(vertical[y]);
    X87PrecisionScope extended(X87PrecisionScope::Extended);
    for (int x = 0; x < newWidth; x += kBlockColumns) {
        const int columns = newWidth - x < kBlockColumns ? newWidth - x : kBlockColumns;
        PlainHorizontalScalar(Pixels, Width, Height, horizontalTaps.Get() + x, columns, column);
        PlainVerticalScalar(column, columns, output + x, newWidth, newHeight, verticalTaps.Get());
    }
    return true;
}

MmxResampler::MmxResampler(const Pixel* pixels, int width, int height)
    : Resampler(pixels, width, height) {}

std::size_t MmxResampler::WorkBytes() const {
    return Height > 0 ? static_cast<std::size_t>(Height) * kBlockColumns * sizeof(PackedLanes) : 0;
}

Pixel* MmxResampler::Resize(int newWidth, int newHeight) {
    return ResizeWith(*this, newWidth, newHeight);
}

bool MmxResampler::ResizeInto(int newWidth, int newHeight, Pixel* output, void* workColumn) {
    if (newWidth <= 0 || newHeight <= 0) return true;
    if (Pixels == nullptr || Width <= 0 || Height <= 0) return false;
    if (workColumn == nullptr && !Work &&
        !Work.Allocate(static_cast<std::size_t>(Height) * kBlockColumns))
        return false;
    PackedLanes* const column =
        workColumn != nullptr ? static_cast<PackedLanes*>(workColumn) : Work.Get();
    PackedContributorList horizontal, vertical;
    ImagingBlock<PackedTaps> horizontalTaps, verticalTaps;
    if (!horizontal.Build(newWidth, Width, PackedContributorList::Horizontal) ||
        !vertical.Build(newHeight, Height, PackedContributorList::Vertical) ||
        !horizontalTaps.Allocate(static_cast<std::size_t>(newWidth)) ||
        !verticalTaps.Allocate(static_cast<std::size_t>(newHeight)))
        return false;
    TrimPackedTaps(horizontal.Entries(), horizontal.Weights(), newWidth, horizontalTaps.Get());
    TrimPackedTaps(vertical.Entries(), vertical.Weights(), newHeight, verticalTaps.Get());
    // Tiles of StripRows output rows by BlockColumns columns, strip after strip: a tile's work
    // columns hold only the source rows its output rows reach, and stay in the first-level cache;
    // neighbouring tiles read and write neighbouring memory. The vertical taps of a strip count
    // from its first source row.
    PackedTaps stripTaps[kStripRows];
    const bool sse2 = processorInfo().HasSse2;
    for (int y = 0; y < newHeight; y += kStripRows) {
        const int rows = newHeight - y < kStripRows ? newHeight - y : kStripRows;
        int first = Height, last = 0;
        for (int i = 0; i < rows; ++i) {
            const PackedTaps& taps = verticalTaps[y + i];
            if (taps.Count == 0) continue;
            if (taps.First < first) first = taps.First;
            if (taps.First + taps.Count - 1 > last) last = taps.First + taps.Count - 1;
        }
        if (first > last) first = last = 0;
        for (int i = 0; i < rows; ++i) {
            stripTaps[i] = verticalTaps[y + i];
            stripTaps[i].First = stripTaps[i].Count > 0 ? stripTaps[i].First - first : 0;
        }
        const Pixel* source = Pixels + static_cast<std::size_t>(first) * Width;
        Pixel* strip = output + static_cast<std::size_t>(y) * newWidth;
        for (int x = 0; x < newWidth; x += kBlockColumns) {
            const int columns = newWidth - x < kBlockColumns ? newWidth - x : kBlockColumns;
#if LANTERNMOOR_HAVE_SSE2
            if (sse2) {
                PackedHorizontalSse2(source, Width, last - first + 1, horizontalTaps.Get() + x,
                                     columns, column);
                PackedVerticalSse2(column, columns, strip + x, newWidth, rows, stripTaps);
                continue;
            }
#endif
#if LANTERNMOOR_HAVE_MMX
            PackedHorizontalMmx(source, Width, last - first + 1, horizontalTaps.Get() + x, columns,
                                column);
            PackedVerticalMmx(column, columns, strip + x, newWidth, rows, stripTaps);
#else
            PackedHorizontalPortable(source, Width, last - first + 1, horizontalTaps.Get() + x,
                                     columns, column);
            PackedVerticalPortable(column, columns, strip + x, newWidth, rows, stripTaps);
#endif
        }
    }
    return true;
}
