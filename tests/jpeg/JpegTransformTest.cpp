// Exact arithmetic of the portable core: the AAN tables, the colour conversion, and every packed
// implementation against its one lane reference.
#include "JpegTestSupport.h"

#include "base/ProcessorInfo.h"
#include "jpeg/JpegColour.h"
#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

TEST(Transforms, AanTablesFollowTheirFormulaAndRoundToSixteenBits) {
    auto a = [](int k) { return k ? std::sqrt(2.0) * std::cos(k * 3.14159265358979 / 16) : 1.0; };
    for (int z = 0; z < 64; ++z)
        EXPECT_EQ(jpegAanScale[z], std::lround(16384 * a(z / 8) * a(z % 8))) << z;
    EXPECT_EQ(jpegAanPrescale(0, 1), 4);           // (16384 + 2048) >> 12
    EXPECT_EQ(jpegAanPrescale(1, 10), 55);         // (227250 + 2048) >> 12 = 55.98 -> 55
    EXPECT_EQ(jpegAanPrescale(7, 256), 283);       // (1157120 + 2048) >> 12, half way up
    EXPECT_EQ(jpegAanPrescale(9, 65535), 0xB208u); // 504328 keeps its low 16 bits
}

TEST(ColourTables, ChromaIsCentredAtHalfPastHundredTwentySevenAndEveryChannelClamps) {
    JpegColourTables t;
    buildJpegColourTables(t);
    // Y, Cb, Cr and R, G, B; the last four with the largest offsets each way, clamped: R +-179,
    // G +-135, B -226 / +226.
    const int cases[][6] = {{128, 128, 128, 129, 127, 129}, {128, 127, 127, 127, 129, 127},
                            {76, 85, 255, 255, 0, 1},       {255, 255, 255, 255, 120, 255},
                            {0, 0, 0, 0, 135, 0},           {255, 0, 0, 76, 255, 29},
                            {0, 255, 255, 179, 0, 226}};
    for (const auto& c : cases) {
        uint8_t out[4] = {0, 0, 0, 77};
        jpegConvertPixel(t, c[0], c[1], c[2], out);
        EXPECT_TRUE(out[0] == c[3] && out[1] == c[4] && out[2] == c[5] && out[3] == 0)
            << c[0] << ", " << c[1] << ", " << c[2];
    }
}

// Each family of packed code on 20000 random inputs: half typical of photographs, half over the
// whole range of values, where every lane wraps and saturates (the sanitizer build checks that
// the wrapping is no undefined behaviour). A packed implementation differs from its reference in
// nothing at all.
TEST(PackedCode, EveryImplementationEqualsItsLaneReference) {
    std::mt19937 random(2024);
    JpegColourTables colour;
    buildJpegColourTables(colour);
    int mismatches[3] = {0, 0, 0}; // integer, AAN, colour
    const bool sse2 = processorInfo().HasSse2;
    for (int n = 0; n < 20000; ++n) {
        const bool full = n >= 10000, column = random() % 4 == 0;
        alignas(16) int16_t block[64], copy[64], quant[64];
        for (int i = 0; i < 64; ++i) {
            const bool zero = (i > 10 && random() % 3 == 0) || (column && i % 8);
            copy[i] = block[i] = static_cast<int16_t>(zero   ? 0
                                                      : full ? random()
                                                             : random() % 129 - 64);
            quant[i] =
                static_cast<int16_t>(full ? random() : jpegAanPrescale(i, 1 + random() % 99));
        }
        // The integer row transform in SSE2 lanes against the scalar one, also on zero rows and
        // columns and a lone first column.
        alignas(16) uint8_t expected[64], actual[64];
        jpegIdctInteger(copy, expected);
#if LANTERNMOOR_HAVE_SSE2
        if (sse2) {
            jpegIdctIntegerRowSse2(block, actual, 1);
            mismatches[0] += std::memcmp(actual, expected, 64) != 0;
        }
#endif
        // Every AAN row transform of this build.
        uint8_t* rows[8];
        for (int r = 0; r < 8; ++r)
            rows[r] = expected + 8 * r;
        jpegIdctAanReference(block, quant, rows);
        const int16_t* tables[1] = {quant};
        jpegIdctAanRowPortable(block, actual, 1, 1, tables);
        mismatches[1] += std::memcmp(actual, expected, 64) != 0;
#if LANTERNMOOR_HAVE_MMX
        jpegIdctAanRowMmx(block, actual, 1, 1, tables);
        mismatches[1] += std::memcmp(actual, expected, 64) != 0;
#endif
#if LANTERNMOOR_HAVE_SSE2
        if (sse2) {
            jpegIdctAanRowSse2(block, actual, 1, 1, tables, nullptr);
            mismatches[1] += std::memcmp(actual, expected, 64) != 0;
        }
#endif
        // The chroma runs against the pixel conversion, at both widths: four luma rows, Cb, Cr.
        uint8_t in[48], want[2][64] = {}, got[2][64] = {};
        for (uint8_t& v : in)
            v = static_cast<uint8_t>(random());
        const int h = 1 + n % 2;
        jpegConvertChromaRunScalar(colour, in + 32, in + 40, h, {in, in + 8, want[0]},
                                   {in + 16, in + 24, want[1]});
        jpegConvertChromaRun(colour, in + 32, in + 40, h, {in, in + 8, got[0]},
                             {in + 16, in + 24, got[1]});
        mismatches[2] += std::memcmp(want, got, sizeof got) != 0;
#if LANTERNMOOR_HAVE_SSE2
        if (sse2) {
            jpegConvertChromaRunSse2(in + 32, in + 40, h, {in, in + 8, got[0]},
                                     {in + 16, in + 24, got[1]});
            mismatches[2] += std::memcmp(want, got, sizeof got) != 0;
        }
#endif
    }
    EXPECT_EQ(std::vector<int>(mismatches, mismatches + 3), std::vector<int>(3, 0));
}
