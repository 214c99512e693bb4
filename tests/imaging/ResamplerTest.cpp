// The resamplers: exact contributor entries, weights at random sizes, the exact cases, both paths
// bit for bit against the portable passes run column by column, the x87's precision, and running
// out of memory.
#include "imaging/Resampler.h"
#include "imaging/FloatingPoint.h"
#include "imaging/PlainKernels.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
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

// The designed arithmetic without blocks or shortcuts: the portable passes one output column at a
// time over untrimmed entries (plain) or trimmed ones (packed).
std::vector<Pixel> ColumnByColumn(bool useSimd, const std::vector<Pixel>& source, const Size& s) {
    std::vector<Pixel> out(static_cast<std::size_t>(s.newWidth) * s.newHeight);
    if (useSimd) {
        PackedContributorList across, down;
        across.Build(s.newWidth, s.width, PackedContributorList::Horizontal);
        down.Build(s.newHeight, s.height, PackedContributorList::Vertical);
        std::vector<PackedTaps> h(s.newWidth), v(s.newHeight);
        TrimPackedTaps(across.Entries(), across.Weights(), s.newWidth, h.data());
        TrimPackedTaps(down.Entries(), down.Weights(), s.newHeight, v.data());
        std::vector<PackedLanes> work(s.height);
        for (int x = 0; x < s.newWidth; ++x) {
            PackedHorizontalPortable(source.data(), s.width, s.height, &h[x], 1, work.data());
            PackedVerticalPortable(work.data(), 1, &out[x], s.newWidth, s.newHeight, v.data());
        }
        return out;
    }
    PlainContributorList across, down;
    across.Build(s.newWidth, s.width);
    down.Build(s.newHeight, s.height);
    X87PrecisionScope extended(X87PrecisionScope::Extended);
    std::vector<float> work(3 * static_cast<std::size_t>(s.height));
    for (int x = 0; x < s.newWidth; ++x) {
        const PlainTaps h{across[x].First, across[x].Count, across[x].Weights, false};
        for (int r = 0; r < s.height; ++r)
            PlainHorizontalExact(&source[static_cast<std::size_t>(r) * s.width], h, &work[3 * r],
                                 1);
        for (int y = 0; y < s.newHeight; ++y) {
            const PlainTaps v{down[y].First, down[y].Count, down[y].Weights, false};
            for (int c = 0; c < 3; ++c)
                out[static_cast<std::size_t>(y) * s.newWidth + x] |=
                    static_cast<Pixel>(PlainVerticalExact(&work[3 * v.First + c], 3, v)) << 8 * c;
        }
    }
    return out;
}

int Channel(Pixel p, int c) {
    return static_cast<int>((p >> (8 * c)) & 0xFF);
}

// The weights of entry i, checking that each packed one sits in all four lanes.
std::vector<float> PlainWeights(const PlainContributorList& list, int i) {
    return std::vector<float>(list[i].Weights, list[i].Weights + list[i].Count);
}
std::vector<int> PackedWeights(const PackedContributorList& list, int i) {
    std::vector<int> weights;
    for (int k = 0; k < list.Entries()[i].Count; ++k) {
        const std::int16_t* lanes = list.Weights()[list.WeightIndex(i) + k].Lane;
        EXPECT_EQ(std::count(lanes, lanes + 4, lanes[0]), 4);
        weights.push_back(lanes[0]);
    }
    return weights;
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
        SCOPED_TRACE(testing::Message() << c.m << " -> " << c.n << ", entry " << c.i);
        PlainContributorList plain;
        PackedContributorList packed[2];
        ASSERT_TRUE(plain.Build(c.n, c.m) &&
                    packed[0].Build(c.n, c.m, PackedContributorList::Horizontal) &&
                    packed[1].Build(c.n, c.m, PackedContributorList::Vertical));
        EXPECT_EQ(plain[c.i].First, c.first);
        EXPECT_EQ(PlainWeights(plain, c.i), c.plain);
        for (const PackedContributorList& list : packed) {
            EXPECT_EQ(list.Entries()[c.i].First, c.first);
            EXPECT_EQ(PackedWeights(list, c.i), c.packed);
        }
    }
    // Trimming drops the zero weights at both ends; one weight of 1 is a copy.
    const float weights[4] = {0, 0.5f, 0.5f, 0}, one[2] = {0, 1}, none[2] = {0, 0};
    using Taps = std::tuple<int, int, bool>;
    auto taps = [](const PlainTaps& t) { return Taps(t.First, t.Count, t.Copy); };
    EXPECT_EQ(taps(PlainTapsOf({4, 4, weights})), Taps(5, 2, false));
    EXPECT_EQ(taps(PlainTapsOf({4, 2, one})), Taps(5, 1, true));
    EXPECT_EQ(taps(PlainTapsOf({4, 2, none})), Taps(6, 0, false));
}

TEST(ContributorLists, WeightsSumToOneOrToTheFixedPointBoundAtRandomSizes) {
    TestRandom random(7);
    for (int round = 0; round < 150; ++round) {
        const int m = random.Between(1, round < 100 ? 300 : 3000);
        const int n = random.Between(1, round < 100 ? 300 : 3000);
        PlainContributorList plain;
        PackedContributorList packed[2];
        ASSERT_TRUE(plain.Build(n, m) && packed[0].Build(n, m, PackedContributorList::Horizontal) &&
                    packed[1].Build(n, m, PackedContributorList::Vertical));
        ASSERT_EQ(plain.Size(), n);
        // Every count stays within the room the packed list is designed with.
        const int room = 2 * static_cast<int>(std::ceil(ContributorScale(n, m).Width)) + 2;
        for (int i = 0; i < n; ++i) {
            const PlainContributor& entry = plain[i];
            const std::vector<float> weights = PlainWeights(plain, i);
            const double sum = std::accumulate(weights.begin(), weights.end(), 0.0);
            bool sound = entry.First >= 0 && entry.Count >= 1 && entry.First + entry.Count <= m &&
                         entry.Count <= room && std::abs(sum - 1.0) <= 1e-6 &&
                         *std::min_element(weights.begin(), weights.end()) >= 0;
            for (const PackedContributorList& list : packed) {
                // Each weight is truncated, losing less than one unit (and the normalised
                // weights may sum to a hair below 1).
                const std::vector<int> fixed = PackedWeights(list, i);
                const int fixedSum = std::accumulate(fixed.begin(), fixed.end(), 0);
                sound = sound && list.Entries()[i].First == entry.First &&
                        list.Entries()[i].Count == entry.Count && fixedSum <= 32767 &&
                        fixedSum >= 32767 - entry.Count &&
                        *std::min_element(fixed.begin(), fixed.end()) >= 0;
            }
            ASSERT_TRUE(sound) << "entry " << i << " of " << m << " -> " << n << ": taps "
                               << entry.First << " + " << entry.Count << ", sum " << sum;
        }
    }
}

TEST(ResamplerSizes, UnchangedCopiedPlainDarkenedByOnePackedZeroEmptyImpossibleNone) {
    // Every channel value from 0 to 255; 255 -> 254 and 1 -> 0 packed.
    std::vector<Pixel> ramp(256 * 3);
    for (int i = 0; i < 256 * 3; ++i)
        ramp[i] = PackPixel(i % 256, (i / 3) % 256, 255 - i % 256);
    EXPECT_EQ(Resized(false, ramp, {64, 12, 64, 12}), ramp);
    const std::vector<Pixel> packed = Resized(true, ramp, {64, 12, 64, 12});
    for (std::size_t i = 0; i < ramp.size(); ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(Channel(packed[i], c), std::max(Channel(ramp[i], c) - 1, 0)) << i;
    // A target of no pixels gives an empty buffer; a negative target, or an empty source (which
    // the screen saver never resamples), no picture.
    const std::vector<Pixel> source(12, PackPixel(1, 2, 3));
    for (bool useSimd : {false, true}) {
        for (Size size : {Size{4, 3, 0, 5}, Size{4, 3, 6, 0}}) {
            Pixel* out = Resize(useSimd, source, size);
            EXPECT_NE(out, nullptr) << size;
            ImagingFree(out);
        }
        for (Size size : {Size{4, 3, -1, 5}, Size{0, 3, 5, 5}, Size{4, 0, 5, 5}})
            EXPECT_EQ(Resize(useSimd, source, size), nullptr) << size;
    }
}

// Both resamplers bit for bit against the column-by-column passes (byte 3 of the noise, which
// every output clears, included): natively the blocks and shortcuts, under Wine the MMX passes
// too. The packed one at most two levels below the plain one; flat pictures flat within one level
// plain and two packed.
TEST(ResamplerAgreement, BothPathsMatchThePortablePassesAndKeepTheirBounds) {
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
            ASSERT_EQ(plain, ColumnByColumn(false, source, s)) << s;
            ASSERT_EQ(packed, ColumnByColumn(true, source, s)) << s;
            for (std::size_t i = 0; i < plain.size(); ++i) {
                ASSERT_EQ((plain[i] | packed[i]) >> 24, 0u) << "byte 3 at " << s;
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
        }
    EXPECT_GE(low, 0) << "packed came out brighter than plain";
    EXPECT_LE(high, 2);
    EXPECT_GE(high, 1); // the fixed-point path really is darker
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
    for (bool useSimd : {false, true}) {
        const std::vector<Pixel> expected = Resized(useSimd, source, {40, 30, 57, 22});
        for (int successes = 0;; ++successes) {
            ASSERT_LT(successes, 20);
            TestAllocations failing(successes);
            Pixel* out = Resize(useSimd, source, {40, 30, 57, 22});
            if (failing.Refused == 0) {
                ASSERT_NE(out, nullptr);
                EXPECT_EQ(std::vector<Pixel>(out, out + 57 * 22), expected);
                ImagingFree(out);
                break;
            }
            EXPECT_EQ(out, nullptr) << "after " << successes << " allocations";
        }
    }
}
