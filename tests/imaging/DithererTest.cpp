#include "imaging/Ditherer.h"
#include "imaging/PackedKernels.h"
#include "tests/imaging/Reference.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

enum class Variant { Plain, Packed };

std::unique_ptr<Ditherer> MakeDitherer(Variant variant, int bits, std::vector<Pixel>& pixels,
                                       int width, int height) {
    if (variant == Variant::Plain)
        return std::make_unique<PlainDitherer>(bits, pixels.data(), width, height);
    return std::make_unique<MmxDitherer>(bits, pixels.data(), width, height);
}

std::vector<Pixel> Dithered(Variant variant, int bits, std::vector<Pixel> pixels, int width,
                            int height) {
    EXPECT_TRUE(MakeDitherer(variant, bits, pixels, width, height)->Dither());
    return pixels;
}

Pixel Grey(int v) {
    return PackPixel(v, v, v);
}

// The values at which the quantiser moves to its next level, and the levels it takes.
void Thresholds(int (*quantise)(int), std::vector<int>& steps, std::set<int>& levels) {
    for (int v = 0; v < 256; ++v) {
        levels.insert(quantise(v));
        if (v > 0 && quantise(v) != quantise(v - 1)) steps.push_back(v);
    }
}

int PlainPaletteLevel(int v) {
    return PlainDitherer(8, nullptr, 0, 0).Level(1, v);
}
int PlainDeepLevel(int v) {
    return PlainDitherer(16, nullptr, 0, 0).Level(1, v);
}
int PackedPaletteLevel(int v) {
    return MmxDitherer::Quantise(false, v);
}
int PackedDeepLevel(int v) {
    return MmxDitherer::Quantise(true, v);
}

} // namespace

TEST(DithererLevels, PaletteLevelsAreTheCubeLevelsReachedWhereTheDesignPutsThem) {
    const std::set<int> cube = {0, 51, 102, 153, 204, 255};
    std::vector<int> plainSteps, packedSteps;
    std::set<int> plainLevels, packedLevels;
    Thresholds(PlainPaletteLevel, plainSteps, plainLevels);
    Thresholds(PackedPaletteLevel, packedSteps, packedLevels);
    EXPECT_EQ(plainLevels, cube);
    EXPECT_EQ(packedLevels, cube);
    EXPECT_EQ(plainSteps, (std::vector<int>{27, 78, 129, 180, 231}));
    EXPECT_EQ(packedSteps, (std::vector<int>{26, 77, 128, 180, 231}));
    EXPECT_EQ(PlainPaletteLevel(26), 0);
    EXPECT_EQ(PlainPaletteLevel(27), 51);
    EXPECT_EQ(PackedPaletteLevel(26), 51);
    EXPECT_EQ(PackedPaletteLevel(27), 51);
    const PlainDitherer plain(8, nullptr, 0, 0);
    for (int v = 0; v < 256; ++v)
        EXPECT_TRUE(plain.Level(0, v) == plain.Level(1, v) &&
                    plain.Level(1, v) == plain.Level(2, v));
}

TEST(DithererLevels, FiveBitLevelsTruncatePlainAndRoundPacked) {
    EXPECT_EQ(PlainDeepLevel(7), 0);
    EXPECT_EQ(PlainDeepLevel(8), 8);
    EXPECT_EQ(PlainDeepLevel(255), 248);
    EXPECT_EQ(PackedDeepLevel(3), 0);
    EXPECT_EQ(PackedDeepLevel(4), 8);
    EXPECT_EQ(PackedDeepLevel(11), 8);
    EXPECT_EQ(PackedDeepLevel(12), 16);
    for (int v = 244; v < 256; ++v)
        EXPECT_EQ(PackedDeepLevel(v), 248) << v;
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(PlainDeepLevel(v) % 8, 0);
        EXPECT_TRUE(PlainDeepLevel(v) <= v && v - PlainDeepLevel(v) < 8) << v;
        EXPECT_LE(std::abs(PackedDeepLevel(v) - (v > 248 ? 248 : v)), 4) << v;
    }
}

TEST(DithererLevels, ASinglePixelIsQuantisedWithoutDiffusion) {
    // Blue 26, green 27, red 7: the first pixel has no error to take.
    const std::vector<Pixel> one = {PackPixel(7, 27, 26)};
    EXPECT_EQ(Dithered(Variant::Plain, 8, one, 1, 1)[0], PackPixel(0, 51, 0));
    EXPECT_EQ(Dithered(Variant::Packed, 8, one, 1, 1)[0], PackPixel(0, 51, 51));
    const std::vector<Pixel> four = {PackPixel(4, 7, 3)};
    EXPECT_EQ(Dithered(Variant::Plain, 16, four, 1, 1)[0], PackPixel(0, 0, 0));
    EXPECT_EQ(Dithered(Variant::Packed, 16, four, 1, 1)[0], PackPixel(8, 8, 0));
}

// Worked by hand from the diffusion rules: row 0 left to right, row 1 right to left, 7/16 to the
// next pixel, 3, 5 and 1 sixteenths below.
TEST(DithererDiffusion, PlainPaletteMatchesHandWorkedRows) {
    const std::vector<Pixel> flat(6, Grey(26));
    const std::vector<Pixel> expected = {Grey(0), Grey(51), Grey(0), Grey(51), Grey(0), Grey(51)};
    EXPECT_EQ(Dithered(Variant::Plain, 8, flat, 3, 2), expected);

    // A black first row leaves no error behind; the second row runs from the right.
    std::vector<Pixel> lower(8, Grey(0));
    for (int x = 4; x < 8; ++x)
        lower[x] = Grey(26);
    const std::vector<Pixel> fromRight = {Grey(0),  Grey(0), Grey(0),  Grey(0),
                                          Grey(51), Grey(0), Grey(51), Grey(0)};
    EXPECT_EQ(Dithered(Variant::Plain, 8, lower, 4, 2), fromRight);
}

TEST(DithererDiffusion, OnePixelWideColumnsShiftNegativeErrorsArithmetically) {
    // Plain palette, 30: row 3 takes t = (-70 + 8) >> 4 = -4 and gets 26, which rounds down.
    EXPECT_EQ(Dithered(Variant::Plain, 8, std::vector<Pixel>(4, Grey(30)), 1, 4),
              (std::vector<Pixel>{Grey(51), Grey(0), Grey(51), Grey(0)}));
    // Packed five-bit, 4: row 1 takes t = (-20 + 8) >> 4 = -1, so 3, which rounds to 0.
    EXPECT_EQ(Dithered(Variant::Packed, 16, std::vector<Pixel>(4, Grey(4)), 1, 4),
              (std::vector<Pixel>{Grey(8), Grey(0), Grey(8), Grey(0)}));
}

TEST(DithererDiffusion, BlackStaysBlackAndWhiteBecomesTheTopLevel) {
    for (Variant variant : {Variant::Plain, Variant::Packed})
        for (int bits : {1, 4, 8, 15, 16}) {
            const std::vector<Pixel> black(37 * 11, 0);
            EXPECT_EQ(Dithered(variant, bits, black, 37, 11), black) << bits;
            const std::vector<Pixel> white(37 * 11, 0xFFFFFF);
            const Pixel top = bits == 8 ? Grey(255) : Grey(248);
            EXPECT_EQ(Dithered(variant, bits, white, 37, 11), std::vector<Pixel>(37 * 11, top))
                << bits;
        }
}

TEST(DithererDiffusion, OutputUsesOnlyTheLevelsAndClearsTheTopByte) {
    // A gradient through every channel value, with a top byte the buffer should never have.
    const int width = 256, height = 48;
    std::vector<Pixel> gradient(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            gradient[y * width + x] =
                0xAB000000u | PackPixel(x, (x + 5 * y) % 256, (3 * x + 11 * y) % 256);
    for (Variant variant : {Variant::Plain, Variant::Packed}) {
        std::set<Pixel> colours;
        for (Pixel p : Dithered(variant, 8, gradient, width, height)) {
            ASSERT_EQ(p >> 24, 0u);
            for (unsigned c : {PixelRed(p), PixelGreen(p), PixelBlue(p)})
                ASSERT_EQ(c % 51, 0u) << std::hex << p;
            colours.insert(p);
        }
        EXPECT_LE(colours.size(), 216u);
        EXPECT_GT(colours.size(), 150u); // the gradient really spans the cube
        for (Pixel p : Dithered(variant, 16, gradient, width, height)) {
            ASSERT_EQ(p >> 24, 0u);
            for (unsigned c : {PixelRed(p), PixelGreen(p), PixelBlue(p)})
                ASSERT_TRUE(c % 8 == 0 && c <= 248) << std::hex << p;
        }
    }
}

TEST(DithererDiffusion, MeanOfAFlatAreaIsTheInputWithinHalfALevel) {
    const int width = 48, height = 48;
    for (Variant variant : {Variant::Plain, Variant::Packed})
        for (int bits : {8, 16}) {
            const double step = bits == 8 ? 51 : 8;
            const int top = bits == 8 ? 255 : 248;
            for (int v = 0; v < 256; ++v) {
                const int channels[3] = {v, 255 - v, (v * 7) % 256}; // blue, green, red
                const std::vector<Pixel> flat(width * height,
                                              PackPixel(channels[2], channels[1], channels[0]));
                const std::vector<Pixel> out = Dithered(variant, bits, flat, width, height);
                for (int c = 0; c < 3; ++c) {
                    double sum = 0;
                    for (Pixel p : out)
                        sum += (p >> (8 * c)) & 0xFF;
                    const double mean = sum / out.size();
                    // Above the top level the best is the top level itself.
                    const double target = channels[c] > top ? top : channels[c];
                    EXPECT_LE(std::abs(mean - target), step / 2)
                        << "value " << channels[c] << " bits " << bits << " mean " << mean;
                }
            }
        }
}

TEST(DithererPacked, EveryImplementationMatchesTheLaneReference) {
    TestRandom random(4);
    for (int round = 0; round < 40; ++round) {
        const int width = random.Between(1, 70), height = random.Between(1, 30);
        const bool deep = random.Below(2) == 1;
        std::vector<Pixel> image = RandomImage(width, height, random);
        if (round % 3 == 0) image = PhotoLikeImage(width, height, random);
        std::vector<Pixel> expected = image;
        reference::PackedDither(expected, width, height, deep);

        std::vector<PackedLanes> slots(width + 2);
        std::vector<Pixel> portable = image;
        std::memset(slots.data(), 0, slots.size() * sizeof(PackedLanes));
        PackedDitherPortable(portable.data(), width, height, deep, slots.data());
        ASSERT_EQ(portable, expected) << width << "x" << height << " deep " << deep;
#if LANTERNMOOR_HAVE_MMX
        std::vector<Pixel> mmx = image;
        std::memset(slots.data(), 0, slots.size() * sizeof(PackedLanes));
        PackedDitherMmx(mmx.data(), width, height, deep, slots.data());
        ASSERT_EQ(mmx, expected) << width << "x" << height << " deep " << deep;
#endif
        ASSERT_EQ(Dithered(Variant::Packed, deep ? 16 : 8, image, width, height), expected);
    }
}

TEST(DithererMemory, WithoutAnErrorBufferTheBufferIsLeftAlone) {
    TestRandom random(5);
    const std::vector<Pixel> image = RandomImage(20, 10, random);
    for (Variant variant : {Variant::Plain, Variant::Packed}) {
        std::vector<Pixel> pixels = image;
        FailingAllocations failing(0);
        auto ditherer = MakeDitherer(variant, 8, pixels, 20, 10);
        EXPECT_FALSE(ditherer->Dither());
        EXPECT_EQ(failing.Refused(), 1);
        EXPECT_EQ(pixels, image);
        // An empty picture needs no buffer at all.
        EXPECT_TRUE(MakeDitherer(variant, 8, pixels, 0, 10)->Dither());
        EXPECT_EQ(failing.Refused(), 1);
    }
}
