// The resamplers' fast passes against the plain definitions: the SSE2 passes (native build)
// against the portable lane code and the x87-exact float passes, on random entries, on weights
// and values built to land on the cases the fast paths must hand over, and whole resizes of
// flat-area pictures against the straightforward float resize.
#include "imaging/FloatingPoint.h"
#include "imaging/PlainKernels.h"
#include "imaging/Resampler.h"
#include "tests/imaging/Reference.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

std::vector<PlainTaps> TapsOf(const PlainContributorList& list) {
    std::vector<PlainTaps> taps;
    for (int i = 0; i < list.Size(); ++i)
        taps.push_back(PlainTapsOf(list[i]));
    return taps;
}

// Few grey levels in large patches, with some noise: most neighbours are equal, as in skies and
// shadows, where the vertical sums land on integers.
std::vector<Pixel> PatchyImage(int width, int height, TestRandom& random) {
    std::vector<Pixel> image(static_cast<std::size_t>(width) * height);
    const int patch = random.Between(2, 9);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int level = ((x / patch) * 7 + (y / patch) * 3) % 4 * 85;
            const bool noise = random.Below(10) == 0;
            image[static_cast<std::size_t>(y) * width + x] =
                noise ? PackPixel(random.Below(256), level, 255 - level)
                      : PackPixel(level, level, 255 - level);
        }
    return image;
}

} // namespace

TEST(PlainTaps, DropTheZeroWeightsAndDescribeTheRest) {
    PlainContributorList list;
    ASSERT_TRUE(list.Build(8, 4));
    // Output 7 (centre 3.5): weights 0 and 1 on taps 2 and 3.
    const PlainTaps last = PlainTapsOf(list[7]);
    EXPECT_EQ(last.First, 3);
    EXPECT_EQ(last.Count, 1);
    EXPECT_TRUE(last.Copy);
    // Output 5 (centre 2.5): 0, 0.5, 0.5 on taps 1 to 3.
    const PlainTaps middle = PlainTapsOf(list[5]);
    EXPECT_EQ(middle.First, 2);
    EXPECT_EQ(middle.Count, 2);
    EXPECT_FALSE(middle.Copy);
    EXPECT_TRUE(middle.FlatExact);
    EXPECT_TRUE(middle.ExactInFloat);

    // Weights that do not add up to exactly 1, a weight with 24 significant bits, a tiny one.
    const float uneven[3] = {0.0f, 0.5f, 0.5f - std::ldexp(1.0f, -24)};
    const PlainTaps a = PlainTapsOf(PlainContributor{4, 3, uneven, true});
    EXPECT_EQ(a.First, 5);
    EXPECT_FALSE(a.FlatExact);
    EXPECT_FALSE(a.ExactInFloat);
    EXPECT_TRUE(a.ExactInDouble);
    const float tiny[2] = {1.0f - std::ldexp(1.0f, -23), std::ldexp(1.0f, -23)};
    const PlainTaps b = PlainTapsOf(PlainContributor{0, 2, tiny, true});
    EXPECT_TRUE(b.FlatExact); // two taps always fit
    EXPECT_FALSE(b.ExactInDouble);
    const float none[2] = {0.0f, 0.0f};
    EXPECT_EQ(PlainTapsOf(PlainContributor{0, 2, none, true}).Count, 0);
}

TEST(PlainTaps, TheWorkBoundHoldsForEveryValueOfARealPass) {
    TestRandom random(41);
    for (int round = 0; round < 30; ++round) {
        const int width = random.Between(1, 70), height = random.Between(1, 20);
        const int newWidth = random.Between(1, 150);
        const std::vector<Pixel> white(static_cast<std::size_t>(width) * height, 0xFFFFFF);
        PlainContributorList list;
        ASSERT_TRUE(list.Build(newWidth, width));
        const std::vector<PlainTaps> taps = TapsOf(list);
        std::vector<float> work(static_cast<std::size_t>(height) * 3 * newWidth);
        PlainHorizontalScalar(white.data(), width, height, taps.data(), newWidth, work.data());
        const float bound = PlainWorkBound(taps.data(), newWidth);
        for (float v : work)
            ASSERT_LE(v, bound) << width << " -> " << newWidth;
        EXPECT_LT(bound, 256.0f);
    }
}

TEST(ResamplerAgreement, FlatAreasAndBlockEdgesMatchTheStraightforwardFloatResize) {
    TestRandom random(42);
    // Widths that leave partial blocks and groups, one-pixel sides, enlarging and shrinking.
    const int sizes[][4] = {{1, 1, 9, 4},      {2, 7, 1, 13},     {7, 2, 71, 3},
                            {150, 9, 301, 14}, {97, 61, 151, 83}, {64, 48, 45, 31},
                            {33, 33, 97, 98},  {40, 30, 17, 60}};
    for (const auto& size : sizes) {
        const std::vector<Pixel> source = PatchyImage(size[0], size[1], random);
        Pixel* out = PlainResampler(source.data(), size[0], size[1]).Resize(size[2], size[3]);
        ASSERT_NE(out, nullptr);
        const std::vector<Pixel> got(out, out + static_cast<std::size_t>(size[2]) * size[3]);
        ImagingFree(out);
        ASSERT_EQ(got, reference::PlainResize(source, size[0], size[1], size[2], size[3]))
            << size[0] << "x" << size[1] << " -> " << size[2] << "x" << size[3];
    }
}

#if LANTERNMOOR_SSE2

namespace {

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A weight of the given number of significant bits below 1.
float WeightOfBits(TestRandom& random, int bits) {
    return std::ldexp(static_cast<float>(random.Between(1, (1 << bits) - 1)), -bits);
}

// Random entries over a source of `width`: 0 to 5 taps, weights with short or full significands,
// now and then tiny ones, now and then a lone tap at the right edge.
std::vector<std::vector<float>> RandomWeights(TestRandom& random, int count) {
    std::vector<std::vector<float>> weights(static_cast<std::size_t>(count));
    for (auto& w : weights) {
        const int taps = random.Between(0, 5);
        const int bits = random.Below(2) == 0 ? 14 : 24;
        for (int k = 0; k < taps; ++k)
            w.push_back(random.Below(12) == 0 ? std::ldexp(WeightOfBits(random, 24), -22)
                                              : WeightOfBits(random, bits));
        if (taps >= 2 && random.Below(2) == 0) w.back() = 1.0f - w.front(); // summing to 1
        if (taps >= 3 && random.Below(3) == 0) w.front() = 0.0f;            // trimmed
    }
    return weights;
}

std::vector<PlainTaps> RandomTaps(TestRandom& random,
                                  const std::vector<std::vector<float>>& weights, int sourceSize) {
    std::vector<PlainTaps> taps;
    for (const auto& w : weights) {
        const int count = std::min(static_cast<int>(w.size()), sourceSize);
        const int first =
            random.Below(2) == 0 ? sourceSize - count : random.Between(0, sourceSize - count);
        taps.push_back(PlainTapsOf(PlainContributor{first, count, w.data(), true}));
    }
    return taps;
}

} // namespace

TEST(PlainSse2, HorizontalPassEqualsTheDesignedSteps) {
    TestRandom random(43);
    for (int round = 0; round < 60; ++round) {
        const int width = round < 5 ? round + 1 : random.Between(1, 90);
        const int rows = random.Between(1, 12), columns = random.Between(1, 45);
        std::vector<Pixel> source = RandomImage(width, rows, random);
        for (Pixel& p : source)
            p |= static_cast<Pixel>(random.Below(256)) << 24; // byte 3 is ignored
        const auto weights = RandomWeights(random, columns);
        const std::vector<PlainTaps> taps = RandomTaps(random, weights, width);
        std::vector<float> expected(static_cast<std::size_t>(rows) * 3 * columns);
        std::vector<float> got(expected.size(), -1.0f);
        {
            X87PrecisionScope extended(X87PrecisionScope::Extended);
            PlainHorizontalScalar(source.data(), width, rows, taps.data(), columns,
                                  expected.data());
        }
        PlainHorizontalSse2(source.data(), width, rows, taps.data(), columns, got.data());
        ASSERT_TRUE(SameBits(got, expected)) << "round " << round;
    }
}

TEST(PlainSse2, VerticalPassEqualsTheExtendedSumsAlsoNearIntegers) {
    TestRandom random(44);
    for (int round = 0; round < 80; ++round) {
        const int height = random.Between(1, 30), columns = random.Between(1, 37);
        const int rows = random.Between(1, 20);
        // Work values: random, integers, equal neighbours, and pairs whose weighted sum lands on
        // (or a hair beside) an integer.
        std::vector<float> work(static_cast<std::size_t>(height) * 3 * columns);
        for (float& v : work) {
            switch (random.Below(4)) {
            case 0:
                v = static_cast<float>(random.Below(256));
                break;
            case 1:
                v = static_cast<float>(random.Below(256)) -
                    std::ldexp(1.0f, -random.Between(8, 20));
                break;
            default:
                v = WeightOfBits(random, 24) * 255.0f;
                break;
            }
            v = std::max(v, 0.0f);
        }
        const std::size_t values = 3 * static_cast<std::size_t>(columns);
        for (std::size_t i = values; i < work.size(); ++i)
            if (random.Below(3) == 0) work[i] = work[i - values]; // flat vertically
        auto weights = RandomWeights(random, rows);
        std::vector<PlainTaps> taps = RandomTaps(random, weights, height);
        for (int y = 0; y < rows; ++y) {
            // Pairs whose weighted sum a0 + (a1 - a0) x w1 lies within a float rounding of an
            // integer: exactly on it with short weights, a hair to either side with long ones.
            if (taps[y].Count != 2 || random.Below(2) == 0) continue;
            const float w1 = random.Below(3) == 0 ? 0.25f : WeightOfBits(random, 24);
            weights[y] = {1.0f - w1, w1};
            taps[y] = PlainTapsOf(PlainContributor{taps[y].First, 2, weights[y].data(), true});
            for (std::size_t c = 0; c < values; ++c) {
                float* a = &work[static_cast<std::size_t>(taps[y].First) * values + c];
                const double n = random.Between(1, 254);
                const double d = random.Between(-4096, 4096) / 64.0;
                a[0] = static_cast<float>(std::max(n - d * w1, 0.0));
                a[values] = static_cast<float>(std::max(a[0] + d, 0.0));
            }
        }
        float largest = 0;
        for (float v : work)
            largest = std::max(largest, v);
        for (float bound : {largest, -1.0f}) {
            std::vector<Pixel> expected(static_cast<std::size_t>(rows) * columns);
            std::vector<Pixel> got(expected.size(), 0xDEADBEEF);
            X87PrecisionScope extended(X87PrecisionScope::Extended);
            PlainVerticalScalar(work.data(), columns, expected.data(), columns, rows, taps.data());
            PlainVerticalSse2(work.data(), columns, got.data(), columns, rows, taps.data(), bound);
            ASSERT_EQ(got, expected) << "round " << round << " bound " << bound;
        }
    }
}

// Weights that add up to exactly 1 and values whose exact sum lies 2^-52 below 23: the double sum
// rounds up to 23, the extended one stays below it. Found by search; the single-precision sum
// cannot decide it either, so it reaches the extended sums.
TEST(PlainSse2, ASumThatDoublePrecisionRoundsUpToAnIntegerIsTruncatedBelowIt) {
    const float weights[2] = {0x1.f1c5fp-2f, 0x1.071d08p-1f};
    const float a0 = 0x1.fcd9a8p-24f, a1 = 0x1.660d0ap+5f;
    const PlainTaps taps = PlainTapsOf(PlainContributor{0, 2, weights, true});
    ASSERT_TRUE(taps.FlatExact);
    std::vector<float> work(2 * 3 * 4, a0);
    std::fill(work.begin() + 12, work.end(), a1);
    std::vector<Pixel> out(4, 0);
    X87PrecisionScope extended(X87PrecisionScope::Extended);
    EXPECT_EQ(static_cast<double>(a0) * weights[0] + static_cast<double>(a1) * weights[1], 23.0);
    PlainVerticalSse2(work.data(), 4, out.data(), 4, 1, &taps, a1);
    EXPECT_EQ(out, std::vector<Pixel>(4, PackPixel(22, 22, 22)));
}

#endif

// The packed passes over trimmed taps of this build: SSE2 natively, MMX in the Windows build.
TEST(PackedTapsKernels, EqualThePortableLaneCodeForAnyWeights) {
    using Horizontal = void (*)(const Pixel*, int, int, const PackedTaps*, int, PackedLanes*);
    using Vertical = void (*)(const PackedLanes*, int, Pixel*, int, int, const PackedTaps*);
    std::vector<std::pair<Horizontal, Vertical>> kernels;
#if LANTERNMOOR_SSE2
    kernels.push_back({PackedHorizontalSse2, PackedVerticalSse2});
#endif
#if LANTERNMOOR_HAVE_MMX
    kernels.push_back({PackedHorizontalTapsMmx, PackedVerticalTapsMmx});
#endif
    if (kernels.empty()) GTEST_SKIP() << "no packed-instruction passes in this build";
    TestRandom random(45);
    auto lanes = [&] {
        PackedLanes w;
        for (auto& lane : w.Lane)
            lane =
                static_cast<std::int16_t>(random.Below(4) == 0 ? 0 : random.Between(-32768, 32767));
        return w;
    };
    for (int round = 0; round < 80; ++round) {
        const int width = round < 4 ? round + 1 : random.Between(1, 80);
        const int height = random.Between(1, 25);
        const int columns = random.Between(1, 40), rows = random.Between(1, 30);
        const std::vector<Pixel> source = RandomImage(width, height, random);
        auto entriesOver = [&](int count, int size, std::vector<PackedLanes>& weights) {
            std::vector<PackedContributor> entries;
            for (int i = 0; i < count; ++i) {
                const int taps = std::min(random.Between(1, 6), size);
                const int first =
                    random.Below(3) == 0 ? size - taps : random.Between(0, size - taps);
                entries.push_back({first, taps});
                for (int k = 0; k < taps; ++k) {
                    const bool edge = k == 0 || k == taps - 1;
                    weights.push_back(edge && random.Below(2) == 0 ? PackedLanes{} : lanes());
                }
            }
            return entries;
        };
        std::vector<PackedLanes> hWeights, vWeights;
        const auto hEntries = entriesOver(columns, width, hWeights);
        const auto vEntries = entriesOver(rows, height, vWeights);
        std::vector<PackedTaps> hTaps(hEntries.size()), vTaps(vEntries.size());
        TrimPackedTaps(hEntries.data(), hWeights.data(), columns, hTaps.data());
        TrimPackedTaps(vEntries.data(), vWeights.data(), rows, vTaps.data());

        std::vector<PackedLanes> expected(static_cast<std::size_t>(height) * columns);
        PackedHorizontalPortable(source.data(), width, height, hEntries.data(), hWeights.data(),
                                 columns, expected.data());

        // Work entries over the whole lane range, as random weights can leave them.
        std::vector<PackedLanes> work(static_cast<std::size_t>(height) * columns);
        for (auto& entry : work)
            entry = lanes();
        std::vector<Pixel> outExpected(static_cast<std::size_t>(rows) * columns);
        PackedVerticalPortable(work.data(), columns, outExpected.data(), columns, rows,
                               vEntries.data(), vWeights.data());
        for (std::size_t i = 0; i < kernels.size(); ++i) {
            std::vector<PackedLanes> got(expected.size());
            kernels[i].first(source.data(), width, height, hTaps.data(), columns, got.data());
            ASSERT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(PackedLanes)), 0)
                << "horizontal, kernel " << i << ", round " << round;
            std::vector<Pixel> outGot(outExpected.size(), 0xDEADBEEF);
            kernels[i].second(work.data(), columns, outGot.data(), columns, rows, vTaps.data());
            ASSERT_EQ(outGot, outExpected) << "vertical, kernel " << i << ", round " << round;
        }
    }
}
