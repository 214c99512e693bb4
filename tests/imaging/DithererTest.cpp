// The ditherers: each quantiser step by step, hand-worked diffusion, what the output may hold,
// the packed diffusion against the portable lane code, and running out of memory.
#include "imaging/Ditherer.h"
#include "imaging/PackedKernels.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace {

bool Dither(bool useSimd, int bits, std::vector<Pixel>& pixels, int width, int height) {
    if (useSimd) return MmxDitherer(bits, pixels.data(), width, height).Dither();
    return PlainDitherer(bits, pixels.data(), width, height).Dither();
}

std::vector<Pixel> Dithered(bool useSimd, int bits, std::vector<Pixel> pixels, int width,
                            int height) {
    EXPECT_TRUE(Dither(useSimd, bits, pixels, width, height));
    return pixels;
}

std::vector<Pixel> Greys(const std::vector<int>& values) {
    std::vector<Pixel> pixels;
    for (int v : values)
        pixels.push_back(PackPixel(v, v, v));
    return pixels;
}

using Steps = std::vector<std::pair<int, int>>;

// The quantiser as the (value, level) pairs where its level changes, from level 0 at value 0. A
// single pixel takes no error, so a 1 x 1 picture shows the quantiser alone.
Steps StepsOf(bool useSimd, int bits) {
    Steps steps;
    int level = 0;
    for (int v = 0; v < 256; ++v) {
        const Pixel p = Dithered(useSimd, bits, Greys({v}), 1, 1)[0];
        EXPECT_EQ(p, Greys({static_cast<int>(PixelRed(p))})[0]) << "channels differ at " << v;
        if (static_cast<int>(PixelRed(p)) != level) steps.push_back({v, level = PixelRed(p)});
    }
    return steps;
}

} // namespace

TEST(DithererLevels, EachQuantiserStepsWhereDesigned) {
    // Palette: the nearest cube level, a remainder of 26 rounding down plain (26 -> 0, 27 -> 51)
    // and up packed (26 -> 51).
    EXPECT_EQ(StepsOf(false, 8), (Steps{{27, 51}, {78, 102}, {129, 153}, {180, 204}, {231, 255}}));
    EXPECT_EQ(StepsOf(true, 8), (Steps{{26, 51}, {77, 102}, {128, 153}, {180, 204}, {231, 255}}));
    // Five bits: truncated plain (7 -> 0), rounded packed (4 -> 8), both at most 248.
    Steps truncated, rounded;
    for (int level = 8; level <= 248; level += 8) {
        truncated.push_back({level, level});
        rounded.push_back({level - 4, level});
    }
    EXPECT_EQ(StepsOf(false, 16), truncated);
    EXPECT_EQ(StepsOf(true, 16), rounded);
}

// Worked by hand from the diffusion rules: even rows left to right, odd rows right to left, 7/16
// of the error to the next pixel and 3, 5 and 1 sixteenths below; (sum + 8) >> 4 arithmetic.
TEST(DithererDiffusion, MatchesHandWorkedPictures) {
    struct Case {
        bool useSimd;
        int bits, width, height;
        std::vector<int> in, out;
    } cases[] = {
        {false, 8, 3, 2, {26, 26, 26, 26, 26, 26}, {0, 51, 0, 51, 0, 51}},
        // A black first row leaves no error; the second row runs from the right.
        {false, 8, 4, 2, {0, 0, 0, 0, 26, 26, 26, 26}, {0, 0, 0, 0, 51, 0, 51, 0}},
        // Row 0 leaves 3/16 of its error 26 below-left: (0, 1) gets 18 + ((7 x 8 + 78 + 8) >> 4)
        // = 26, which rounds down.
        {false, 8, 2, 2, {0, 26, 18, 0}, {0, 0, 0, 0}},
        // One pixel wide. Row 3 takes t = (-70 + 8) >> 4 = -4 and gets 26, which rounds down.
        {false, 8, 1, 4, {30, 30, 30, 30}, {51, 0, 51, 0}},
        // Row 1 takes t = (-20 + 8) >> 4 = -1, so 3, which rounds to 0.
        {true, 16, 1, 4, {4, 4, 4, 4}, {8, 0, 8, 0}},
        // Packed, where 26 is 51: row 0 takes 26, 26 - 11 (t = (7 x -25 + 8) >> 4) and 26 + 7,
        // row 1 from the right 26 - 5, 26 + 9 and 26 - 12. Below a black row: 26, 15, 33, 18.
        {true, 8, 3, 2, {26, 26, 26, 26, 26, 26}, {51, 0, 51, 0, 51, 0}},
        {true, 8, 4, 2, {0, 0, 0, 0, 26, 26, 26, 26}, {0, 0, 0, 0, 0, 51, 0, 51}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Dithered(c.useSimd, c.bits, Greys(c.in), c.width, c.height), Greys(c.out))
            << c.width << "x" << c.height << " at " << c.bits << " bits";
}

TEST(DithererOutput, OnlyTheLevelsBlackAndWhiteExactFlatAreasRightOnAverage) {
    // A gradient through every channel value, with a top byte the buffer should never have.
    const int width = 256, height = 48;
    std::vector<Pixel> gradient(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            gradient[y * width + x] =
                0xAB000000u | PackPixel(x, (x + 5 * y) % 256, (3 * x + 11 * y) % 256);
    for (bool useSimd : {false, true})
        // 1- and 4-bit displays take the five-bit levels; only 8 bits is a palette display.
        for (int bits : {1, 4, 8, 15, 16}) {
            const bool palette = bits == 8;
            const int step = palette ? 51 : 8, top = palette ? 255 : 248;
            std::set<Pixel> colours;
            for (Pixel p : Dithered(useSimd, bits, gradient, width, height)) {
                ASSERT_EQ(p >> 24, 0u);
                for (unsigned c : {PixelRed(p), PixelGreen(p), PixelBlue(p)})
                    ASSERT_TRUE(c % step == 0 && c <= static_cast<unsigned>(top))
                        << std::hex << p << " at " << std::dec << bits << " bits";
                colours.insert(p);
            }
            if (palette) {
                EXPECT_LE(colours.size(), 216u);
                EXPECT_GT(colours.size(), 150u); // the gradient really spans the cube
            }
            // Flat areas: black and white exact, and every mean within half a level of the
            // value (or of the top level above it). 1, 4 and 15 bits quantise as 16 do: there
            // black and white suffice.
            for (int v = 0; v < 256; v += bits == 8 || bits == 16 ? 1 : 255) {
                const int channels[3] = {v, 255 - v, (v * 7) % 256}; // blue, green, red
                const Pixel flat = PackPixel(channels[2], channels[1], channels[0]);
                const std::vector<Pixel> out =
                    Dithered(useSimd, bits, std::vector<Pixel>(48 * 48, flat), 48, 48);
                if (v == 0) {
                    ASSERT_EQ(out, std::vector<Pixel>(out.size(), PackPixel(0, top, 0))) << bits;
                }
                for (int c = 0; c < 3; ++c) {
                    double sum = 0;
                    for (Pixel p : out)
                        sum += (p >> (8 * c)) & 0xFF;
                    EXPECT_LE(std::abs(sum / out.size() - std::min(channels[c], top)), step / 2.0)
                        << "value " << channels[c] << " at " << bits << " bits";
                }
            }
        }
}

// MmxDitherer (natively the portable lane code, under Wine MMX) against the portable lane code.
TEST(DithererPacked, EqualsThePortableLaneCode) {
    TestRandom random(4);
    for (int round = 0; round < 40; ++round) {
        const int width = random.Between(1, 70), height = random.Between(1, 30);
        const bool deep = random.Below(2) == 1;
        const std::vector<Pixel> image =
            MakePicture(round % 3 == 0 ? Pattern::Photo : Pattern::Noise, width, height, random);
        std::vector<Pixel> expected = image;
        std::vector<PackedLanes> slots(width + 2, PackedLanes{});
        PackedDitherPortable(expected.data(), width, height, deep, slots.data());
        ASSERT_EQ(Dithered(true, deep ? 16 : 8, image, width, height), expected)
            << width << "x" << height << " deep " << deep;
    }
}

TEST(DithererMemory, WithoutAnErrorBufferTheBufferIsLeftAlone) {
    TestRandom random(5);
    const std::vector<Pixel> image = MakePicture(Pattern::Noise, 20, 10, random);
    for (bool useSimd : {false, true}) {
        std::vector<Pixel> pixels = image;
        TestAllocations failing(0);
        EXPECT_FALSE(Dither(useSimd, 8, pixels, 20, 10));
        EXPECT_EQ(pixels, image);
        // An empty picture needs no buffer at all.
        EXPECT_TRUE(Dither(useSimd, 8, pixels, 0, 10));
    }
}
