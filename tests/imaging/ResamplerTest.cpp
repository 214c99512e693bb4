#include "imaging/Resampler.h"
#include "imaging/FloatingPoint.h"
#include "tests/imaging/Reference.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

enum class Variant { Plain, Packed };

std::unique_ptr<Resampler> MakeResampler(Variant variant, const std::vector<Pixel>& source,
                                         int width, int height) {
    if (variant == Variant::Plain)
        return std::make_unique<PlainResampler>(source.data(), width, height);
    return std::make_unique<MmxResampler>(source.data(), width, height);
}

std::vector<Pixel> Resized(Variant variant, const std::vector<Pixel>& source, int width, int height,
                           int newWidth, int newHeight) {
    Pixel* out = MakeResampler(variant, source, width, height)->Resize(newWidth, newHeight);
    EXPECT_NE(out, nullptr);
    if (out == nullptr) return {};
    std::vector<Pixel> result(out, out + static_cast<std::size_t>(newWidth) * newHeight);
    ImagingFree(out);
    return result;
}

int Channel(Pixel p, int c) {
    return static_cast<int>((p >> (8 * c)) & 0xFF);
}

// The largest channel difference between two pictures, as plain minus packed.
void DifferenceRange(const std::vector<Pixel>& plain, const std::vector<Pixel>& packed, int& low,
                     int& high) {
    for (std::size_t i = 0; i < plain.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const int d = Channel(plain[i], c) - Channel(packed[i], c);
            low = std::min(low, d);
            high = std::max(high, d);
        }
}

struct Size {
    int width, height, newWidth, newHeight;
};

// Random sizes, shrinking and enlarging, with the one-pixel edge cases mixed in.
std::vector<Size> RandomSizes(TestRandom& random, int count) {
    std::vector<Size> sizes = {{1, 1, 7, 5},     {1, 9, 4, 20},   {9, 1, 3, 1},
                               {13, 17, 1, 1},   {1, 40, 1, 13},  {30, 20, 30, 20},
                               {30, 20, 30, 47}, {64, 48, 32, 24}};
    while (static_cast<int>(sizes.size()) < count)
        sizes.push_back({random.Between(1, 90), random.Between(1, 90), random.Between(1, 120),
                         random.Between(1, 120)});
    return sizes;
}

} // namespace

TEST(ResamplerSizes, AnUnchangedSizeIsCopiedByThePlainPathAndDarkenedByOneByThePacked) {
    // Every channel value from 0 to 255.
    std::vector<Pixel> ramp(256 * 3);
    for (int i = 0; i < 256 * 3; ++i)
        ramp[i] = PackPixel(i % 256, (i / 3) % 256, 255 - i % 256);
    EXPECT_EQ(Resized(Variant::Plain, ramp, 64, 12, 64, 12), ramp);
    const std::vector<Pixel> packed = Resized(Variant::Packed, ramp, 64, 12, 64, 12);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(Channel(packed[i], c), std::max(Channel(ramp[i], c) - 1, 0)) << i;
    const std::vector<Pixel> ends = {PackPixel(255, 1, 0)};
    EXPECT_EQ(Resized(Variant::Packed, ends, 1, 1, 1, 1)[0], PackPixel(254, 0, 0));
    EXPECT_EQ(Resized(Variant::Plain, ends, 1, 1, 1, 1)[0], PackPixel(255, 1, 0));
}

TEST(ResamplerSizes, EnlargingRepeatsTheEdgesAndInterpolatesBetween) {
    const std::vector<Pixel> row = {PackPixel(0, 0, 0), PackPixel(100, 0, 0), PackPixel(200, 0, 0),
                                    PackPixel(40, 0, 0)};
    const std::vector<Pixel> out = Resized(Variant::Plain, row, 4, 1, 8, 1);
    // Centres 0, 0.5, 1, ..., 3.5: halfway values, and the last pixel repeats source 3.
    const int expected[8] = {0, 50, 100, 150, 200, 120, 40, 40};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(Channel(out[x], 2), expected[x]) << x;
    // A single pixel fills any size.
    const std::vector<Pixel> one = {PackPixel(9, 99, 199)};
    EXPECT_EQ(Resized(Variant::Plain, one, 1, 1, 5, 3), std::vector<Pixel>(15, one[0]));
}

TEST(ResamplerSizes, AZeroTargetGivesAnEmptyBufferWithoutBuildingAnything) {
    const std::vector<Pixel> source(12, PackPixel(1, 2, 3));
    for (Variant variant : {Variant::Plain, Variant::Packed})
        for (Size size : {Size{4, 3, 0, 5}, Size{4, 3, 6, 0}, Size{4, 3, 0, 0}}) {
            auto resampler = MakeResampler(variant, source, size.width, size.height);
            CountingAllocations counting;
            Pixel* out = resampler->Resize(size.newWidth, size.newHeight);
            EXPECT_NE(out, nullptr);
            EXPECT_EQ(counting.Count(), 1); // the empty buffer, and no lists
            ImagingFree(out);
        }
}

TEST(ResamplerSizes, NegativeTargetsAndEmptySourcesGiveNoPicture) {
    const std::vector<Pixel> source(12, 0);
    for (Variant variant : {Variant::Plain, Variant::Packed}) {
        EXPECT_EQ(MakeResampler(variant, source, 4, 3)->Resize(-1, 5), nullptr);
        EXPECT_EQ(MakeResampler(variant, source, 0, 3)->Resize(5, 5), nullptr);
        EXPECT_EQ(MakeResampler(variant, source, 4, 0)->Resize(5, 5), nullptr);
    }
}

TEST(ResamplerValues, FlatPicturesStayFlatWithinOneLevelPlainAndTwoPacked) {
    TestRandom random(11);
    for (const Size& size : RandomSizes(random, 60)) {
        const Pixel colour = PackPixel(random.Below(256), random.Below(256), 255);
        const std::vector<Pixel> flat(static_cast<std::size_t>(size.width) * size.height, colour);
        for (Variant variant : {Variant::Plain, Variant::Packed}) {
            const int drop = variant == Variant::Plain ? 1 : 2;
            for (Pixel p :
                 Resized(variant, flat, size.width, size.height, size.newWidth, size.newHeight))
                for (int c = 0; c < 3; ++c) {
                    const int v = Channel(colour, c);
                    ASSERT_TRUE(Channel(p, c) <= v && Channel(p, c) >= v - drop)
                        << "value " << v << " became " << Channel(p, c) << " at " << size.width
                        << "x" << size.height << " -> " << size.newWidth << "x" << size.newHeight;
                }
        }
    }
}

TEST(ResamplerValues, TheTopByteIsAlwaysZero) {
    TestRandom random(12);
    std::vector<Pixel> source = RandomImage(21, 13, random);
    for (Pixel& p : source)
        p |= 0xFF000000u;
    for (Variant variant : {Variant::Plain, Variant::Packed})
        for (Pixel p : Resized(variant, source, 21, 13, 34, 9))
            ASSERT_EQ(p >> 24, 0u);
}

TEST(ResamplerAgreement, PlainMatchesTheStraightforwardFloatResize) {
    TestRandom random(13);
    for (const Size& size : RandomSizes(random, 50)) {
        const std::vector<Pixel> source = random.Below(2) == 0
                                              ? RandomImage(size.width, size.height, random)
                                              : PhotoLikeImage(size.width, size.height, random);
        ASSERT_EQ(
            Resized(Variant::Plain, source, size.width, size.height, size.newWidth, size.newHeight),
            reference::PlainResize(source, size.width, size.height, size.newWidth, size.newHeight))
            << size.width << "x" << size.height << " -> " << size.newWidth << "x" << size.newHeight;
    }
}

TEST(ResamplerAgreement, EveryPackedImplementationMatchesTheLaneReference) {
    TestRandom random(14);
    for (const Size& size : RandomSizes(random, 50)) {
        const std::vector<Pixel> source = RandomImage(size.width, size.height, random);
        const std::vector<Pixel> expected =
            reference::PackedResize(source, size.width, size.height, size.newWidth, size.newHeight);
        ASSERT_EQ(Resized(Variant::Packed, source, size.width, size.height, size.newWidth,
                          size.newHeight),
                  expected)
            << size.width << "x" << size.height << " -> " << size.newWidth << "x" << size.newHeight;

        // The kernels one by one, over the whole width as a single block and column by column.
        PackedContributorList horizontal, vertical;
        ASSERT_TRUE(horizontal.Build(size.newWidth, size.width, PackedContributorList::Horizontal));
        ASSERT_TRUE(vertical.Build(size.newHeight, size.height, PackedContributorList::Vertical));
        using Horizontal = void (*)(const Pixel*, int, int, const PackedContributor*,
                                    const PackedLanes*, int, PackedLanes*);
        using Vertical = void (*)(const PackedLanes*, int, Pixel*, int, int,
                                  const PackedContributor*, const PackedLanes*);
        std::vector<std::pair<Horizontal, Vertical>> kernels = {
            {PackedHorizontalPortable, PackedVerticalPortable}};
#if LANTERNMOOR_HAVE_MMX
        kernels.push_back({PackedHorizontalMmx, PackedVerticalMmx});
#endif
        for (const auto& kernel : kernels)
            for (int block : {1, 3}) {
                std::vector<Pixel> out(expected.size(), 0xDEADBEEF);
                std::vector<PackedLanes> work(static_cast<std::size_t>(size.height) * block);
                for (int x = 0; x < size.newWidth; x += block) {
                    const int columns = std::min(block, size.newWidth - x);
                    kernel.first(source.data(), size.width, size.height, horizontal.Entries() + x,
                                 horizontal.Weights() + horizontal.WeightIndex(x), columns,
                                 work.data());
                    kernel.second(work.data(), columns, out.data() + x, size.newWidth,
                                  size.newHeight, vertical.Entries(), vertical.Weights());
                }
                ASSERT_EQ(out, expected) << "block " << block;
            }
    }
}

TEST(ResamplerAgreement, PackedStaysWithinTwoLevelsBelowPlain) {
    TestRandom random(15);
    int low = 0, high = 0;
    for (const Size& size : RandomSizes(random, 60)) {
        const std::vector<Pixel> source = random.Below(2) == 0
                                              ? RandomImage(size.width, size.height, random)
                                              : PhotoLikeImage(size.width, size.height, random);
        DifferenceRange(
            Resized(Variant::Plain, source, size.width, size.height, size.newWidth, size.newHeight),
            Resized(Variant::Packed, source, size.width, size.height, size.newWidth,
                    size.newHeight),
            low, high);
    }
    EXPECT_GE(low, 0) << "packed came out brighter than plain";
    EXPECT_LE(high, 2);
    EXPECT_GE(high, 1); // the fixed-point path really is darker
}

// Built so that the double sum of tap 1 lands exactly on a float tie (rounding up to even) while
// the exact sum lies just below it: only the extended sum rounds as designed.
TEST(ResamplerFloat, TinyHorizontalWeightsAreSummedInExtendedPrecision) {
    const float above = 1.0f + std::ldexp(1.0f, -23);
    const float weights[2] = {above, std::ldexp(14221746.0f, -55)};
    PlainContributor entry = {0, 2, weights, false};
    const std::vector<Pixel> source = {PackPixel(0, 0, 1), PackPixel(0, 0, 151)};
    float work[3] = {};
    {
        X87PrecisionScope extended(X87PrecisionScope::Extended);
        PlainHorizontalBlock(source.data(), 2, 1, &entry, 1, work);
    }
    EXPECT_EQ(work[0], above);
}

// The double sum of these products is exactly 255; the extended one stays below it.
TEST(ResamplerFloat, VerticalSumsJustBelowAnIntegerAreTruncatedDown) {
    const float below = 255.0f - std::ldexp(1.0f, -16);
    const float work[6] = {below,
                           below,
                           below,
                           1.0f + std::ldexp(1.0f, -17),
                           1.0f + std::ldexp(1.0f, -17),
                           1.0f + std::ldexp(1.0f, -17)};
    const float weights[2] = {1.0f, std::ldexp(1.0f - std::ldexp(1.0f, -17), -16)};
    const PlainContributor entry = {0, 2, weights, true};
    Pixel out = 0;
    {
        X87PrecisionScope extended(X87PrecisionScope::Extended);
        PlainVerticalBlock(work, 1, &out, 1, 1, &entry);
    }
    EXPECT_EQ(out, PackPixel(254, 254, 254));
}

#if LANTERNMOOR_X87
TEST(ResamplerFloat, ResultsDoNotDependOnThePrecisionTheCallerLeftTheX87In) {
    TestRandom random(16);
    const std::vector<Pixel> source = PhotoLikeImage(97, 61, random);
    const std::vector<Pixel> plain = Resized(Variant::Plain, source, 97, 61, 151, 83);
    const std::vector<Pixel> packed = Resized(Variant::Packed, source, 97, 61, 45, 29);
    const unsigned short saved = ReadX87ControlWord();
    // Single precision, as some graphics libraries leave it.
    const unsigned short single = static_cast<unsigned short>(saved & ~0x300u);
    WriteX87ControlWord(single);
    const std::vector<Pixel> plainSingle = Resized(Variant::Plain, source, 97, 61, 151, 83);
    const std::vector<Pixel> packedSingle = Resized(Variant::Packed, source, 97, 61, 45, 29);
    const unsigned short after = ReadX87ControlWord();
    WriteX87ControlWord(saved);
    EXPECT_EQ(after, single) << "the caller's precision was not restored";
    EXPECT_EQ(plainSingle, plain);
    EXPECT_EQ(packedSingle, packed);
}
#endif

TEST(ResamplerMemory, EveryFailedAllocationGivesNoPictureAndLeaksNothing) {
    TestRandom random(17);
    const std::vector<Pixel> source = PhotoLikeImage(40, 30, random);
    for (Variant variant : {Variant::Plain, Variant::Packed}) {
        const std::vector<Pixel> expected = Resized(variant, source, 40, 30, 57, 22);
        int failures = 0;
        for (int successes = 0;; ++successes) {
            ASSERT_LT(successes, 20);
            FailingAllocations failing(successes);
            auto resampler = MakeResampler(variant, source, 40, 30); // allocates the work column
            Pixel* out = resampler->Resize(57, 22);
            if (failing.Refused() == 0) {
                ASSERT_NE(out, nullptr);
                EXPECT_EQ(std::vector<Pixel>(out, out + 57 * 22), expected);
                ImagingFree(out);
                break;
            }
            EXPECT_EQ(out, nullptr) << "after " << successes << " allocations";
            ++failures;
        }
        // Work column, output, and the lists' blocks.
        EXPECT_GE(failures, variant == Variant::Plain ? 6 : 9);
    }
}
