// Exact arithmetic of the portable core: both inverse DCTs, the AAN tables, the colour tables,
// and every packed implementation against its one lane reference.
#include "JpegTestSupport.h"

#include "jpeg/JpegColour.h"
#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

TEST(Transforms, DcOnlyBlocksGiveTheirLevelEverywhereAndSaturate) {
    for (bool aan : {false, true}) {
        for (int k = -128; k <= 127; ++k)
            EXPECT_EQ(expectedBlock({{0, 8 * k}}, aan), Bytes(64, static_cast<uint8_t>(k + 128)));
        EXPECT_EQ(expectedBlock({{0, 2000}}, aan), Bytes(64, 255)) << aan;
        EXPECT_EQ(expectedBlock({{0, -2000}}, aan), Bytes(64, 0)) << aan;
        // x 4 wraps to 0 in 16 bits, in the intermediate block or the dequantised lane.
        EXPECT_EQ(expectedBlock({{0, -32768}}, aan), Bytes(64, 128)) << aan;
    }
}

TEST(Transforms, AanTablesFollowTheirFormulaAndRoundToSixteenBits) {
    auto a = [](int k) {
        return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * 3.14159265358979 / 16);
    };
    for (int z = 0; z < 64; ++z)
        EXPECT_EQ(jpegAanScale[z], std::lround(16384 * a(z / 8) * a(z % 8))) << z;
    EXPECT_EQ(jpegAanPrescale(0, 1), 4);           // (16384 + 2048) >> 12
    EXPECT_EQ(jpegAanPrescale(1, 10), 55);         // (227250 + 2048) >> 12 = 55.98 -> 55
    EXPECT_EQ(jpegAanPrescale(63, 1), 0);          // (1247 + 2048) >> 12
    EXPECT_EQ(jpegAanPrescale(9, 65535), 0xB208u); // 504328 keeps its low 16 bits
}

TEST(ColourTables, ChromaIsCentredAtHalfPastHundredTwentySevenAndEveryChannelClamps) {
    JpegColourTables t;
    buildJpegColourTables(t);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(t.redFromCr[i], (91882 * i - 11682187) >> 16) << i;
        EXPECT_EQ(t.blueFromCb[i], (116130 * i - 14773807) >> 16) << i;
        EXPECT_EQ(t.greenFromCr[i], 5967255 - 46802 * i) << i;
        EXPECT_EQ(t.greenFromCb[i], 2908403 - 22554 * i) << i;
    }
    auto rgb = [&](int y, int cb, int cr) {
        uint8_t out[4] = {0, 0, 0, 77};
        jpegConvertPixel(t, y, cb, cr, out);
        EXPECT_EQ(out[3], 0) << "the fourth byte is 0";
        return std::vector<int>{out[0], out[1], out[2]};
    };
    EXPECT_EQ(rgb(128, 128, 128), (std::vector<int>{129, 127, 129}));
    EXPECT_EQ(rgb(128, 127, 127), (std::vector<int>{127, 129, 127}));
    EXPECT_EQ(rgb(76, 85, 255), (std::vector<int>{255, 0, 1}));
    // The largest offsets each way, clamped: R +-179, G +-135, B -226 / +226.
    EXPECT_EQ(rgb(255, 255, 255), (std::vector<int>{255, 120, 255}));
    EXPECT_EQ(rgb(0, 0, 0), (std::vector<int>{0, 135, 0}));
    EXPECT_EQ(rgb(255, 0, 0), (std::vector<int>{76, 255, 29}));
    EXPECT_EQ(rgb(0, 255, 255), (std::vector<int>{179, 0, 226}));
}

// Each family of packed code on 20000 random inputs: half typical of photographs, half over the
// whole range of values, where every lane wraps and saturates (the sanitizer build checks that
// the wrapping is no undefined behaviour). A packed implementation differs from its reference in
// nothing at all.
TEST(PackedCode, EveryImplementationEqualsItsLaneReference) {
    std::mt19937 random(2024);
    auto value = [&](bool full) {
        return static_cast<int16_t>(full ? static_cast<int>(random() & 0xFFFF) - 32768
                                         : static_cast<int>(random() % 129) - 64);
    };
    JpegColourTables colour;
    buildJpegColourTables(colour);
    // Each draws one input, fills what the implementation and the reference give, and compares.
    const std::pair<const char*, std::function<bool(bool)>> families[] = {
        // The integer row transform (eight lanes of SSE2 natively) against the scalar one, also
        // on zero rows and columns and a lone first column; the coefficients stay as they were.
        {"integer",
         [&](bool full) {
             int16_t block[64], before[64];
             const bool column = random() % 4 == 0;
             for (int i = 0; i < 64; ++i)
                 block[i] = (i > 10 && random() % 3 == 0) || (column && i % 8) ? 0 : value(full);
             std::memcpy(before, block, sizeof block);
             uint8_t samples[64], expected[64];
             jpegIdctIntegerRow(block, samples, 1);
             const bool kept = std::memcmp(before, block, sizeof block) == 0;
             jpegIdctInteger(block, expected);
             return kept && std::memcmp(samples, expected, 64) == 0;
         }},
        // Every AAN row transform of this build (MMX too in the Windows build).
        {"aan",
         [&](bool full) {
             alignas(16) int16_t block[64], quant[64];
             for (int i = 0; i < 64; ++i) {
                 block[i] = !full && i > 20 && random() % 4 != 0 ? 0 : value(full);
                 quant[i] = full ? value(true)
                                 : static_cast<int16_t>(jpegAanPrescale(i, 1 + random() % 99));
             }
             alignas(16) uint8_t expected[64], samples[64];
             uint8_t* rows[8];
             for (int r = 0; r < 8; ++r)
                 rows[r] = expected + 8 * r;
             jpegIdctAanReference(block, quant, rows);
             const int16_t* tables[1] = {quant};
             bool same = true;
             for (JpegAanRowTransform transform : {
#if LANTERNMOOR_HAVE_MMX
                      jpegIdctAanRowMmx,
#endif
                          jpegIdctAanRowPortable
                  }) {
                 transform(block, samples, 1, 1, tables);
                 same = same && std::memcmp(samples, expected, 64) == 0;
             }
             return same;
         }},
        // The chroma runs against the pixel conversion, at both widths.
        {"colour",
         [&](bool) {
             uint8_t in[48]; // four luma rows, Cb, Cr
             for (uint8_t& v : in)
                 v = static_cast<uint8_t>(random());
             const int h = 1 + random() % 2;
             uint8_t expected[2][64], actual[2][64];
             std::memset(expected, 0xAA, sizeof expected);
             std::memset(actual, 0xAA, sizeof actual);
             jpegConvertChromaRunScalar(colour, in + 32, in + 40, h, {in, in + 8, expected[0]},
                                        {in + 16, in + 24, expected[1]});
             jpegConvertChromaRun(colour, in + 32, in + 40, h, {in, in + 8, actual[0]},
                                  {in + 16, in + 24, actual[1]});
             return std::memcmp(expected, actual, sizeof actual) == 0;
         }},
    };
    for (const auto& [name, same] : families) {
        int mismatches = 0;
        for (int n = 0; n < 20000; ++n)
            mismatches += !same(n >= 10000);
        EXPECT_EQ(mismatches, 0) << name;
    }
}
