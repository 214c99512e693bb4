// The resamplers' fast passes against the plain definitions: the SSE2 passes (native build) and
// the MMX passes over trimmed taps (Windows build) against the portable lane code and the
// x87-exact float passes, on random entries and on weights and values built to land on the cases
// the fast paths must hand over.
#include "imaging/FloatingPoint.h"
#include "imaging/PlainKernels.h"
#include "imaging/Resampler.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

// Where a random entry of `count` taps over a source of `size` starts: anywhere, or at the end.
int RandomFirst(TestRandom& random, int count, int size) {
    return random.Below(2) == 0 ? size - count : random.Between(0, size - count);
}

template <typename T> bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

} // namespace

TEST(PlainTaps, DropTheZeroWeightsAndDescribeTheRest) {
    // First (the entry starts at 4) and Count after trimming, Copy, FlatExact, ExactInFloat and
    // ExactInDouble.
    using Description = std::tuple<int, int, bool, bool, bool, bool>;
    const std::pair<std::vector<float>, Description> cases[] = {
        {{0, 1}, {5, 1, true, true, true, true}},
        {{0, 0.5f, 0.5f, 0}, {5, 2, false, true, true, true}},
        // Not adding up to exactly 1, with a weight of 24 significant bits.
        {{0, 0.5f, 0.5f - std::ldexp(1.0f, -24)}, {5, 2, false, false, false, true}},
        // 16 significant bits at most make the products exact in single precision, 17 do not.
        {{0.5f + std::ldexp(1.0f, -16), 0.5f - std::ldexp(1.0f, -16)},
         {4, 2, false, true, true, true}},
        {{0.5f + std::ldexp(1.0f, -17), 0.5f - std::ldexp(1.0f, -17)},
         {4, 2, false, true, false, true}},
        // A weight below 2^-21; two taps always sum exactly.
        {{1.0f - std::ldexp(1.0f, -23), std::ldexp(1.0f, -23)}, {4, 2, false, true, false, false}},
    };
    for (const auto& c : cases) {
        const int count = static_cast<int>(c.first.size());
        const PlainTaps t = PlainTapsOf({4, count, c.first.data(), true});
        EXPECT_EQ(
            Description(t.First, t.Count, t.Copy, t.FlatExact, t.ExactInFloat, t.ExactInDouble),
            c.second)
            << count << " weights from " << c.first[0];
    }
    const float none[2] = {0, 0};
    EXPECT_EQ(PlainTapsOf({4, 2, none, true}).Count, 0);
}

#if LANTERNMOOR_SSE2

namespace {

// A weight below 1 of the given number of significant bits.
float WeightOfBits(TestRandom& random, int bits) {
    return std::ldexp(static_cast<float>(random.Between(1, (1 << bits) - 1)), -bits);
}

// Random entries over a source of `size`: 0 to 5 taps, weights with short or full significands,
// now and then tiny ones, summing to 1 or not, with or without a leading zero. `weights` keeps
// the weights.
std::vector<PlainTaps> RandomTaps(TestRandom& random, int count, int size,
                                  std::vector<std::vector<float>>& weights) {
    weights.assign(static_cast<std::size_t>(count), {});
    std::vector<PlainTaps> taps;
    for (auto& w : weights) {
        const int n = std::min(random.Between(0, 5), size);
        const int bits = random.Below(2) == 0 ? 14 : 24;
        for (int k = 0; k < n; ++k)
            w.push_back(random.Below(12) == 0 ? std::ldexp(WeightOfBits(random, 24), -22)
                                              : WeightOfBits(random, bits));
        if (n >= 2 && random.Below(2) == 0) w.back() = 1.0f - w.front();
        if (n >= 3 && random.Below(3) == 0) w.front() = 0.0f;
        taps.push_back(PlainTapsOf({RandomFirst(random, n, size), n, w.data(), true}));
    }
    return taps;
}

} // namespace

// Also: no work value exceeds the bound the vertical pass relies on, white sources included.
TEST(PlainSse2, HorizontalPassEqualsTheDesignedStepsWithinTheWorkBound) {
    TestRandom random(43);
    for (int round = 0; round < 60; ++round) {
        const int width = round < 5 ? round + 1 : random.Between(1, 90);
        const int rows = random.Between(1, 12), columns = random.Between(1, 45);
        std::vector<Pixel> source = MakePicture(Picture::Noise, width, rows, random);
        if (round % 4 == 0) std::fill(source.begin(), source.end(), 0xFFFFFF);
        std::vector<std::vector<float>> weights;
        const std::vector<PlainTaps> taps = RandomTaps(random, columns, width, weights);
        std::vector<float> expected(static_cast<std::size_t>(rows) * 3 * columns);
        std::vector<float> got(expected.size(), -1.0f);
        {
            X87PrecisionScope extended(X87PrecisionScope::Extended);
            PlainHorizontalScalar(source.data(), width, rows, taps.data(), columns,
                                  expected.data());
        }
        PlainHorizontalSse2(source.data(), width, rows, taps.data(), columns, got.data());
        ASSERT_TRUE(SameBits(got, expected)) << "round " << round;
        ASSERT_LE(*std::max_element(got.begin(), got.end()), PlainWorkBound(taps.data(), columns))
            << "round " << round;
    }
}

TEST(PlainSse2, VerticalPassEqualsTheExtendedSumsAlsoNearIntegers) {
    TestRandom random(44);
    for (int round = 0; round < 80; ++round) {
        const int height = random.Between(1, 30), columns = random.Between(1, 37);
        const int rows = random.Between(1, 20);
        const std::size_t values = 3 * static_cast<std::size_t>(columns);
        // Work values: integers, a hair below integers, random; some equal to the one above.
        std::vector<float> work(height * values);
        for (std::size_t i = 0; i < work.size(); ++i) {
            const int kind = random.Below(4);
            const float hair = std::ldexp(1.0f, -random.Between(8, 20));
            work[i] = kind == 0   ? random.Below(256)
                      : kind == 1 ? std::max(random.Below(256) - hair, 0.0f)
                                  : WeightOfBits(random, 24) * 255.0f;
            if (i >= values && random.Below(3) == 0) work[i] = work[i - values];
        }
        std::vector<std::vector<float>> weights;
        std::vector<PlainTaps> taps = RandomTaps(random, rows, height, weights);
        for (int y = 0; y < rows; ++y) {
            // Pairs whose weighted sum a0 + (a1 - a0) x w1 lies within a float rounding of an
            // integer: exactly on it with short weights, a hair to either side with long ones.
            if (taps[y].Count != 2 || random.Below(2) == 0) continue;
            const float w1 = random.Below(3) == 0 ? 0.25f : WeightOfBits(random, 24);
            weights[y] = {1.0f - w1, w1};
            taps[y] = PlainTapsOf({taps[y].First, 2, weights[y].data(), true});
            for (std::size_t c = 0; c < values; ++c) {
                float* a = &work[static_cast<std::size_t>(taps[y].First) * values + c];
                const double n = random.Between(1, 254), d = random.Between(-4096, 4096) / 64.0;
                a[0] = static_cast<float>(std::max(n - d * w1, 0.0));
                a[values] = static_cast<float>(std::max(a[0] + d, 0.0));
            }
        }
        for (float bound : {*std::max_element(work.begin(), work.end()), -1.0f}) {
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
    const PlainTaps taps = PlainTapsOf({0, 2, weights, true});
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

// The packed passes over trimmed taps of this build (SSE2 natively, MMX in the Windows build)
// against the portable passes, with weights over the whole lane range.
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
            lane = static_cast<std::int16_t>(random.Below(4) == 0 ? 0 : random.Below(65536));
        return w;
    };
    // 1 to 6 taps each, some with zero weights first or last for the trimming to drop.
    struct Entries {
        std::vector<PackedContributor> entries;
        std::vector<PackedLanes> weights;
        std::vector<PackedTaps> taps;
    };
    auto entriesOver = [&](int count, int size) {
        Entries e;
        for (int i = 0; i < count; ++i) {
            const int n = std::min(random.Between(1, 6), size);
            e.entries.push_back({RandomFirst(random, n, size), n});
            for (int k = 0; k < n; ++k)
                e.weights.push_back((k == 0 || k == n - 1) && random.Below(2) == 0 ? PackedLanes{}
                                                                                   : lanes());
        }
        e.taps.resize(e.entries.size());
        TrimPackedTaps(e.entries.data(), e.weights.data(), count, e.taps.data());
        return e;
    };
    for (int round = 0; round < 80; ++round) {
        const int width = round < 4 ? round + 1 : random.Between(1, 80);
        const int height = random.Between(1, 25);
        const int columns = random.Between(1, 40), rows = random.Between(1, 30);
        const std::vector<Pixel> source = MakePicture(Picture::Noise, width, height, random);
        const Entries h = entriesOver(columns, width), v = entriesOver(rows, height);
        // The horizontal sums, which wrap around, are the vertical pass's work values.
        std::vector<PackedLanes> work(static_cast<std::size_t>(height) * columns);
        PackedHorizontalPortable(source.data(), width, height, h.entries.data(), h.weights.data(),
                                 columns, work.data());
        std::vector<Pixel> expected(static_cast<std::size_t>(rows) * columns);
        PackedVerticalPortable(work.data(), columns, expected.data(), columns, rows,
                               v.entries.data(), v.weights.data());
        for (std::size_t i = 0; i < kernels.size(); ++i) {
            std::vector<PackedLanes> sums(work.size());
            kernels[i].first(source.data(), width, height, h.taps.data(), columns, sums.data());
            ASSERT_TRUE(SameBits(sums, work)) << "horizontal, kernel " << i << ", round " << round;
            std::vector<Pixel> got(expected.size(), 0xDEADBEEF);
            kernels[i].second(work.data(), columns, got.data(), columns, rows, v.taps.data());
            ASSERT_EQ(got, expected) << "vertical, kernel " << i << ", round " << round;
        }
    }
}
