// The resamplers: exact contributor entries, the exact cases, the packed path bit for bit against
// the portable passes over all columns at once, the bounds between both paths, the x87's
// precision, and running out of memory.
#include "imaging/Resampler.h"
#include "imaging/FloatingPoint.h"
#include "imaging/PlainKernels.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <tuple>
#include <vector>

namespace {

struct Size {
    int width, height, newWidth, newHeight;
};

std::ostream& operator<<(std::ostream& out, const Size& s) {
    return out << s.width << "x" << s.height << " -> " << s.newWidth << "x" << s.newHeight;
}

Pixel* Resize(bool useSimd, const std::vector<Pixel>& source, const Size& s) {
    if (useSimd)
        return MmxResampler(source.data(), s.width, s.height).Resize(s.newWidth, s.newHeight);
    return PlainResampler(source.data(), s.width, s.height).Resize(s.newWidth, s.newHeight);
}

std::vector<Pixel> Resized(bool useSimd, const std::vector<Pixel>& source, const Size& s) {
    Pixel* out = Resize(useSimd, source, s);
    EXPECT_NE(out, nullptr) << s;
    std::vector<Pixel> result(out, out + (out ? s.newWidth * s.newHeight : 0));
    ImagingFree(out);
    return result;
}

// The packed arithmetic without blocks or shortcuts: the portable passes over all columns at once.
std::vector<Pixel> PortablePasses(const std::vector<Pixel>& source, const Size& s) {
    PackedContributorList across, down;
    across.Build(s.newWidth, s.width, PackedContributorList::Horizontal);
    down.Build(s.newHeight, s.height, PackedContributorList::Vertical);
    std::vector<PackedTaps> h(s.newWidth), v(s.newHeight);
    TrimPackedTaps(across.Entries(), across.Weights(), s.newWidth, h.data());
    TrimPackedTaps(down.Entries(), down.Weights(), s.newHeight, v.data());
    std::vector<PackedLanes> work(static_cast<std::size_t>(s.newWidth) * s.height);
    std::vector<Pixel> out(static_cast<std::size_t>(s.newWidth) * s.newHeight);
    PackedHorizontalPortable(source.data(), s.width, s.height, h.data(), s.newWidth, work.data());
    PackedVerticalPortable(work.data(), s.newWidth, out.data(), s.newWidth, s.newHeight, v.data());
    return out;
}

int Channel(Pixel p, int c) {
    return static_cast<int>((p >> (8 * c)) & 0xFF);
}

} // namespace

TEST(ContributorLists, ExactEntriesEnlargingAndShrinking) {
    struct Case {
        int n, m, i, first;
        std::vector<float> plain;
        std::vector<int> packed;
    } cases[] = {
        // 4 -> 8. Centre 3.5: taps 2 and 3, raw weights 0 and 0.5 made 0 and 1. Centre 2.5:
        // taps 1 to 3 (tap 4 lies beyond the picture). Output 0 sits on source 0.
        {8, 4, 7, 2, {0, 1}, {0, 32767}},
        {8, 4, 5, 1, {0, 0.5f, 0.5f}, {0, 16383, 16383}},
        {8, 4, 0, 0, {1, 0}, {32767, 0}},
        // Inside the picture enlarging takes four taps.
        {16, 8, 5, 1, {0, 0.5f, 0.5f, 0}, {0, 16383, 16383, 0}},
        // 1024 -> 512, output 10, centre 20: taps 18 to 22, a triangle two pixels wide.
        {512, 1024, 10, 18, {0, 0.25f, 0.5f, 0.25f, 0}, {0, 8191, 16383, 8191, 0}},
    };
    for (const Case& c : cases) {
        PlainContributorList plain;
        PackedContributorList across, down;
        ASSERT_TRUE(plain.Build(c.n, c.m) &&
                    across.Build(c.n, c.m, PackedContributorList::Horizontal) &&
                    down.Build(c.n, c.m, PackedContributorList::Vertical));
        std::vector<int> fixed[2];
        for (const PackedContributorList* list : {&across, &down})
            for (int k = 0; k < list->Entries()[c.i].Count; ++k)
                fixed[list == &down].push_back(list->Weights()[list->WeightIndex(c.i) + k].Lane[0]);
        EXPECT_EQ(std::make_tuple(
                      plain[c.i].First, across.Entries()[c.i].First, down.Entries()[c.i].First,
                      std::vector<float>(plain[c.i].Weights, plain[c.i].Weights + plain[c.i].Count),
                      fixed[0], fixed[1]),
                  std::make_tuple(c.first, c.first, c.first, c.plain, c.packed, c.packed))
            << c.m << " -> " << c.n << ", entry " << c.i;
    }
    // Trimming drops the zero weights at both ends; one weight of 1 is a copy.
    const float weights[4] = {0, 0.5f, 0.5f, 0}, one[2] = {0, 1}, none[2] = {0, 0};
    using Taps = std::tuple<int, int, bool>;
    auto taps = [](const PlainTaps& t) { return Taps(t.First, t.Count, t.Copy); };
    EXPECT_EQ(taps(PlainTapsOf({4, 4, weights})), Taps(5, 2, false));
    EXPECT_EQ(taps(PlainTapsOf({4, 2, one})), Taps(5, 1, true));
    EXPECT_EQ(taps(PlainTapsOf({4, 2, none})), Taps(6, 0, false));
}

TEST(ResamplerSizes, UnchangedCopiedPlainDarkenedByOnePackedZeroEmptyImpossibleNone) {
    // Every channel value from 0 to 255; 255 -> 254 and 1 -> 0 packed.
    std::vector<Pixel> ramp(256 * 3), darker(256 * 3);
    for (int i = 0; i < 256 * 3; ++i) {
        ramp[i] = PackPixel(i % 256, (i / 3) % 256, 255 - i % 256);
        darker[i] = PackPixel(std::max(i % 256 - 1, 0), std::max((i / 3) % 256 - 1, 0),
                              std::max(254 - i % 256, 0));
    }
    EXPECT_EQ(Resized(false, ramp, {64, 12, 64, 12}), ramp);
    EXPECT_EQ(Resized(true, ramp, {64, 12, 64, 12}), darker);
    // A target of no pixels gives an empty buffer; a negative target, or an empty source (which
    // the screen saver never resamples), no picture.
    const std::vector<Pixel> source(12, PackPixel(1, 2, 3));
    for (const bool useSimd : {false, true})
        for (const Size& size :
             {Size{4, 3, 0, 5}, {4, 3, 6, 0}, {4, 3, -1, 5}, {0, 3, 5, 5}, {4, 0, 5, 5}}) {
            Pixel* out = Resize(useSimd, source, size);
            EXPECT_EQ(out != nullptr, size.newWidth * size.newHeight == 0) << size;
            ImagingFree(out);
        }
}

// The packed resampler bit for bit against the portable passes over all columns (byte 3 of the
// noise, which every output clears, included): natively its blocks, under Wine the MMX passes.
// The packed one at most two levels below the plain one; flat pictures flat within one level plain
// and two packed.
TEST(ResamplerAgreement, PackedMatchesThePortablePassesAndBothKeepTheirBounds) {
    TestRandom random(13);
    std::vector<Size> sizes = {{1, 1, 7, 5},      {1, 9, 4, 20},    {9, 1, 3, 1},
                               {13, 17, 1, 1},    {1, 40, 1, 13},   {30, 20, 30, 20},
                               {30, 20, 30, 47},  {64, 48, 32, 24}, {2, 7, 1, 13},
                               {150, 9, 301, 14}, {97, 61, 151, 83}};
    while (sizes.size() < 50)
        sizes.push_back({random.Between(1, 90), random.Between(1, 90), random.Between(1, 120),
                         random.Between(1, 120)});
    int low = 0, high = 0;
    for (const Size& s : sizes)
        for (Pattern kind : {Pattern::Noise, Pattern::Photo, Pattern::Patches, Pattern::Flat}) {
            const std::vector<Pixel> source = MakePicture(kind, s.width, s.height, random);
            const std::vector<Pixel> plain = Resized(false, source, s);
            const std::vector<Pixel> packed = Resized(true, source, s);
            ASSERT_EQ(packed, PortablePasses(source, s)) << s;
            for (std::size_t i = 0; i < plain.size(); ++i)
                for (int c = 0; c < 3; ++c) {
                    const int v = Channel(source[0], c), p = Channel(plain[i], c),
                              k = Channel(packed[i], c);
                    ASSERT_TRUE(kind != Pattern::Flat ||
                                (v - 1 <= p && p <= v && v - 2 <= k && k <= v))
                        << v << " became " << p << " and " << k << " at " << s;
                    low = std::min(low, p - k);
                    high = std::max(high, p - k);
                }
        }
    EXPECT_TRUE(low == 0 && high >= 1 && high <= 2)
        << "packed - plain from " << low << " to " << high;
}

TEST(ResamplerFloat, SumsTakeTheDesignedPrecisionWhateverTheCallerLeftTheX87In) {
    X87PrecisionScope extended(X87PrecisionScope::Extended);
    // The double sum of tap 1 lands exactly on a float tie (rounding up to even) while the exact
    // sum lies just below it: only the extended sum rounds as designed.
    const float above = 1.0f + std::ldexp(1.0f, -23);
    const float across[2] = {above, std::ldexp(14221746.0f, -55)};
    const PlainTaps h = PlainTapsOf({0, 2, across});
    const Pixel source[2] = {PackPixel(0, 0, 1), PackPixel(0, 0, 151)};
    float sums[3] = {};
    PlainHorizontalScalar(source, 2, 1, &h, 1, sums);
    EXPECT_EQ(sums[0], above);
    // The double sum of these products is exactly 255; the extended one stays below it.
    const float below = 255.0f - std::ldexp(1.0f, -16), hair = 1.0f + std::ldexp(1.0f, -17);
    const float work[6] = {below, below, below, hair, hair, hair};
    const float down[2] = {1.0f, std::ldexp(1.0f - std::ldexp(1.0f, -17), -16)};
    const PlainTaps v = PlainTapsOf({0, 2, down});
    Pixel out = 0;
    PlainVerticalScalar(work, 1, &out, 1, 1, &v);
    EXPECT_EQ(out, PackPixel(254, 254, 254));
#if LANTERNMOOR_X87
    TestRandom random(16);
    const std::vector<Pixel> photo = MakePicture(Pattern::Photo, 97, 61, random);
    auto both = [&] {
        return std::make_pair(Resized(false, photo, {97, 61, 151, 83}),
                              Resized(true, photo, {97, 61, 45, 29}));
    };
    const auto usual = both();
    // Single precision, as some graphics libraries leave it.
    const unsigned short saved = ReadX87ControlWord(), single = saved & ~0x300u;
    WriteX87ControlWord(single);
    const auto inSingle = both();
    const unsigned short after = ReadX87ControlWord();
    WriteX87ControlWord(saved);
    EXPECT_EQ(after, single) << "the caller's precision was not restored";
    EXPECT_EQ(inSingle, usual);
#endif
}

TEST(ResamplerMemory, EveryFailedAllocationGivesNoPictureAndLeaksNothing) {
    TestRandom random(17);
    const std::vector<Pixel> source = MakePicture(Pattern::Photo, 40, 30, random);
    for (const bool useSimd : {false, true})
        for (int successes = 0;; ++successes) {
            ASSERT_LT(successes, 20);
            TestAllocations failing(successes);
            Pixel* out = Resize(useSimd, source, {40, 30, 57, 22});
            ImagingFree(out);
            if (failing.Refused == 0) break;
            EXPECT_EQ(out, nullptr) << "after " << successes << " allocations";
        }
}
