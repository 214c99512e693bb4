// The ditherers: each quantiser step by step, hand-worked diffusion, and running out of memory.
// Under Wine the packed ditherer is real MMX; the screen checks at 16 bits compare it with the
// portable lane code on a photograph.
#include "imaging/Ditherer.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

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
    pixels.reserve(values.size());
    for (int v : values)
        pixels.push_back(PackPixel(v, v, v));
    return pixels;
}

} // namespace

// The quantiser as the (value, level) pairs where its level changes, from level 0 at value 0; a
// single pixel takes no error, and loses the top byte the buffer should never have. Palette (8
// bits): the nearest cube level, a remainder of 26 rounding down plain (26 -> 0, 27 -> 51) and up
// packed (26 -> 51). Every other depth, 1 and 4 bits included: five bits, truncated plain (7 -> 0),
// rounded packed (4 -> 8), both at most 248.
TEST(Ditherer, EachQuantiserStepsWhereDesigned) {
    using Steps = std::vector<std::pair<int, int>>;
    const Steps palette[2] = {{{27, 51}, {78, 102}, {129, 153}, {180, 204}, {231, 255}},
                              {{26, 51}, {77, 102}, {128, 153}, {180, 204}, {231, 255}}};
    for (const bool useSimd : {false, true})
        for (const int bits : {1, 4, 8, 15, 16}) {
            Steps steps, five;
            for (int v = 0, level = 0; v < 256; ++v) {
                const Pixel p =
                    Dithered(useSimd, bits, {0xAB000000u | PackPixel(v, v, v)}, 1, 1)[0];
                EXPECT_EQ(p, Greys({static_cast<int>(PixelRed(p))})[0]) << v << " at " << bits;
                if (static_cast<int>(PixelRed(p)) != level)
                    steps.push_back({v, level = PixelRed(p)});
            }
            for (int level = 8; level <= 248; level += 8)
                five.push_back({level - 4 * useSimd, level});
            EXPECT_EQ(steps, bits == 8 ? palette[useSimd] : five)
                << bits << " bits, packed " << useSimd;
        }
}

// Worked by hand from the diffusion rules: even rows left to right, odd rows right to left, 7/16
// of the error to the next pixel and 3, 5 and 1 sixteenths below; (sum + 8) >> 4 arithmetic.
TEST(Ditherer, DiffusionMatchesHandWorkedPictures) {
    struct Case {
        bool UseSimd;
        int Bits, Width, Height;
        std::vector<int> In, Out;
    } cases[] = {
        {false, 8, 3, 2, {26, 26, 26, 26, 26, 26}, {0, 51, 0, 51, 0, 51}},
        // A black first row leaves no error; the second row runs from the right.
        {false, 8, 4, 2, {0, 0, 0, 0, 26, 26, 26, 26}, {0, 0, 0, 0, 51, 0, 51, 0}},
        // Row 0 leaves 3/16 of its error 26 below-left: (0, 1) gets 18 + ((7 x 8 + 78 + 8) >> 4)
        // = 26, which rounds down.
        {false, 8, 2, 2, {0, 26, 18, 0}, {0, 0, 0, 0}},
        // One pixel wide. Row 3 takes t = (-70 + 8) >> 4 = -4 and gets 26, which rounds down.
        {false, 8, 1, 4, {30, 30, 30, 30}, {51, 0, 51, 0}},
        // One sixteenth decides: 7 x 8 + 8 = 64 gives t = 4, so 23 becomes 27, which rounds up.
        {false, 8, 2, 1, {8, 23}, {0, 51}},
        // 5/16 below: (5 x 5 + 8) >> 4 = 2, so 6 becomes 8.
        {false, 16, 1, 2, {5, 6}, {0, 8}},
        // Below-right 1/16: (1,1) takes (7 + 5 x 1 + 8) >> 4 = 1. Below-left 3/16: (0,1) takes
        // (5 x 5 + 3 x 5 + 8) >> 4 = 3.
        {false, 16, 2, 2, {7, 6, 0, 7}, {0, 8, 0, 8}},
        {false, 16, 2, 2, {5, 3, 5, 6}, {0, 0, 8, 8}},
        // Row 1 takes t = (-20 + 8) >> 4 = -1, so 3, which rounds to 0.
        {true, 16, 1, 4, {4, 4, 4, 4}, {8, 0, 8, 0}},
        // Packed, where 26 is 51: row 0 takes 26, 26 - 11 (t = (7 x -25 + 8) >> 4) and 26 + 7,
        // row 1 from the right 26 - 5, 26 + 9 and 26 - 12. Below a black row: 26, 15, 33, 18.
        {true, 8, 3, 2, {26, 26, 26, 26, 26, 26}, {51, 0, 51, 0, 51, 0}},
        {true, 8, 4, 2, {0, 0, 0, 0, 26, 26, 26, 26}, {0, 0, 0, 0, 0, 51, 0, 51}},
        // Packed rounding half up too: 7 x 8 + 8 = 64 gives t = 4, so 22 becomes 26, which is 51.
        {true, 8, 2, 1, {8, 22}, {0, 51}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Dithered(c.UseSimd, c.Bits, Greys(c.In), c.Width, c.Height), Greys(c.Out))
            << c.Width << "x" << c.Height << " at " << c.Bits << " bits";
}

// Without an error buffer the picture is left alone; an empty one needs none.
TEST(Ditherer, WithoutMemoryNothingChanges) {
    const std::vector<Pixel> image = Greys({26, 26, 26, 26, 26, 26});
    for (const bool useSimd : {false, true}) {
        TestAllocations failing(0);
        std::vector<Pixel> pixels = image;
        EXPECT_FALSE(Dither(useSimd, 8, pixels, 3, 2));
        EXPECT_EQ(pixels, image);
        EXPECT_TRUE(Dither(useSimd, 8, pixels, 0, 2));
    }
}
