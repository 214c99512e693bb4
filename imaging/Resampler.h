// Resizing a pixel buffer with a separable triangle filter: linear interpolation when enlarging,
// a triangle as wide as the reduction when shrinking. For every output position a contributor
// list (first source index, tap count, weights) is computed once; the output is then produced
// column by column: a horizontal pass fills a work column (one entry per source row), a vertical
// pass filters it into the output column. Columns are processed in blocks of up to BlockColumns
// to keep memory access local; every output value is computed exactly as it would be alone.
#pragma once

#include "imaging/PackedKernels.h"
#include "imaging/PixelBuffer.h"

class Filter {
public:
    virtual ~Filter();
    virtual float Evaluate(float x) const = 0;
};

class TriangleFilter : public Filter {
public:
    float Evaluate(float x) const override;
    float Support = 1.0f;
};

// The geometry shared by both lists: n output positions from m source positions.
struct ContributorScale {
    ContributorScale(int outputSize, int sourceSize);
    double Ratio;  // n / m
    float Scale;   // m / n as a 32-bit float
    double Width;  // half-width of the filter in source pixels
    double FScale; // factor on distances and weights: the ratio when shrinking, else 1
};

struct PlainContributor {
    int First;
    int Count;
    const float* Weights;
};

// Float weights: raw tent weights stored as floats, then each multiplied by the float 1 / sum.
class PlainContributorList {
public:
    PlainContributorList() = default;
    PlainContributorList(const PlainContributorList&) = delete;
    PlainContributorList& operator=(const PlainContributorList&) = delete;
    // False when memory runs out.
    bool Build(int outputSize, int sourceSize);
    int Size() const { return EntryCount; }
    const PlainContributor& operator[](int i) const { return EntryBlock[i]; }

private:
    ImagingBlock<PlainContributor> EntryBlock;
    ImagingBlock<float> WeightBlock;
    int EntryCount = 0;
};

// 16-bit fixed-point weights trunc(normalised weight x 32767), replicated in four lanes, the
// weights of all entries following each other in entry order.
class PackedContributorList {
public:
    // The horizontal list evaluates the tent through TriangleFilter with a float argument; the
    // vertical list computes it in double precision.
    enum Direction { Horizontal, Vertical };
    PackedContributorList() = default;
    PackedContributorList(const PackedContributorList&) = delete;
    PackedContributorList& operator=(const PackedContributorList&) = delete;
    bool Build(int outputSize, int sourceSize, Direction direction);
    int Size() const { return EntryCount; }
    const PackedContributor* Entries() const { return EntryBlock.Get(); }
    const PackedLanes* Weights() const { return WeightBlock.Get(); }
    // Index of entry i's first weight.
    int WeightIndex(int i) const { return Offsets[i]; }

private:
    ImagingBlock<PackedContributor> EntryBlock;
    ImagingBlock<int> Offsets;
    ImagingBlock<PackedLanes> WeightBlock;
    int EntryCount = 0;
};

class Resampler {
public:
    // The source buffer stays the caller's and is neither changed nor freed.
    Resampler(const Pixel* pixels, int width, int height);
    virtual ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // A new buffer of newWidth x newHeight pixels that the caller owns (ImagingFree, or a
    // RasterImage). A size of 0 in either dimension gives an empty buffer and runs no pass.
    // Null when memory runs out or the source is empty: the picture is then not shown.
    virtual Pixel* Resize(int newWidth, int newHeight) = 0;

    static constexpr int kBlockColumns = 64;
    // Output rows per strip of the packed resampler.
    static constexpr int kStripRows = 128;

protected:
    const Pixel* Pixels;
    int Width;
    int Height;
};

// 32-bit float weights and work column; horizontal sums rounded to float after every addition,
// vertical sums kept in extended precision and truncated.
class PlainResampler : public Resampler {
public:
    PlainResampler(const Pixel* pixels, int width, int height);
    Pixel* Resize(int newWidth, int newHeight) override;
    // The same pixels into a buffer of the caller's (at least newWidth x newHeight), with a work
    // column of the caller's when `workColumn` is not null (WorkBytes bytes); false when memory
    // runs out or the source is empty.
    bool ResizeInto(int newWidth, int newHeight, Pixel* output, void* workColumn = nullptr);
    std::size_t WorkBytes() const;

private:
    // height rows of BlockColumns floats of byte 0, then of byte 1, then of byte 2; allocated
    // when a resize needs it and the caller gave none.
    ImagingBlock<float> Work;
};

// 16-bit fixed point in four lanes: the work column holds about 128 x the filtered value.
class MmxResampler : public Resampler {
public:
    MmxResampler(const Pixel* pixels, int width, int height);
    Pixel* Resize(int newWidth, int newHeight) override;
    // The same pixels into a buffer of the caller's (at least newWidth x newHeight), with a work
    // column of the caller's when `workColumn` is not null (WorkBytes bytes); false when memory
    // runs out or the source is empty.
    bool ResizeInto(int newWidth, int newHeight, Pixel* output, void* workColumn = nullptr);
    std::size_t WorkBytes() const;

private:
    // Allocated when a resize needs it and the caller gave none.
    ImagingBlock<PackedLanes> Work;
};
