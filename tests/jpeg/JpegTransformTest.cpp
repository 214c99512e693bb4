// Exact arithmetic of the portable core: both inverse DCTs, the AAN tables, every packed
// implementation against its one reference, and the colour tables.
#include "JpegTestSupport.h"

#include "jpeg/JpegColour.h"
#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

const double pi = 3.14159265358979323846;

int16_t random16(std::mt19937& random) {
    return static_cast<int16_t>(static_cast<int>(random() & 0xFFFF) - 32768);
}

// Every packed AAN implementation of this build, by name.
const std::pair<const char*, JpegAanRowTransform> packedTransforms[] = {
    {"portable", jpegIdctAanRowPortable},
#if LANTERNMOOR_HAVE_MMX
    {"mmx", jpegIdctAanRowMmx},
#endif
};

} // namespace

TEST(Transforms, DcOnlyBlocksGiveTheirLevelEverywhereAndSaturate) {
    for (bool aan : {false, true}) {
        SCOPED_TRACE(aan ? "aan" : "integer");
        for (int k = -128; k <= 127; ++k)
            EXPECT_EQ(expectedBlock({{0, 8 * k}}, aan), Bytes(64, static_cast<uint8_t>(k + 128)));
        EXPECT_EQ(expectedBlock({{0, 2000}}, aan), Bytes(64, 255));
        EXPECT_EQ(expectedBlock({{0, -2000}}, aan), Bytes(64, 0));
        // x 4 wraps to 0 in 16 bits, in the intermediate block or the dequantised lane.
        EXPECT_EQ(expectedBlock({{0, -32768}}, aan), Bytes(64, 128));
    }
}

TEST(Transforms, TheIntegerRowTransformMatchesTheScalarOneBitForBit) {
    // Full-range values that wrap everywhere (the sanitizer build checks that the wrapping is
    // no undefined behaviour), photo-like magnitudes, zero rows and columns, a lone first column
    // and a block of 32767.
    std::mt19937 random(99);
    const int blocks = 4001;
    std::vector<int16_t> coefficients(64 * blocks, 32767);
    for (int b = 0; b < blocks - 1; ++b)
        for (int i = 0; i < 64; ++i) {
            int v = random16(random), kind = b % 4;
            if (kind == 1) v %= 700;
            if ((kind == 2 && i > 10) || (kind == 3 && i % 8)) v = 0;
            coefficients[64 * b + i] = static_cast<int16_t>(v);
        }
    const std::vector<int16_t> before = coefficients;
    std::vector<uint8_t> samples(64 * blocks);
    jpegIdctIntegerRow(coefficients.data(), samples.data(), blocks);
    EXPECT_EQ(coefficients, before) << "the row transform leaves the coefficients alone";
    int mismatches = 0;
    for (int b = 0; b < blocks; ++b) {
        uint8_t expected[64];
        jpegIdctInteger(&coefficients[64 * b], expected);
        mismatches += std::memcmp(expected, &samples[64 * b], 64) != 0;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Transforms, AanTablesFollowTheirFormulaAndRoundToSixteenBits) {
    auto a = [](int k) { return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * pi / 16); };
    for (int z = 0; z < 64; ++z)
        EXPECT_EQ(jpegAanScale[z], std::lround(16384 * a(z / 8) * a(z % 8))) << z;
    EXPECT_EQ(jpegAanPrescale(0, 1), 4);           // (16384 + 2048) >> 12
    EXPECT_EQ(jpegAanPrescale(1, 10), 55);         // (227250 + 2048) >> 12 = 55.98 -> 55
    EXPECT_EQ(jpegAanPrescale(63, 1), 0);          // (1247 + 2048) >> 12
    EXPECT_EQ(jpegAanPrescale(9, 65535), 0xB208u); // 504328 keeps its low 16 bits
}

TEST(Transforms, EveryPackedAanImplementationMatchesTheLaneReferenceBitForBit) {
    for (const auto& packed : packedTransforms) {
        std::mt19937 random(2024);
        int mismatches = 0;
        for (int n = 0; n < 20000; ++n) {
            // Typical photo blocks, then full-range values that wrap and saturate every lane.
            const bool full = n >= 10000;
            alignas(16) int16_t block[64];
            alignas(16) int16_t quant[64];
            alignas(16) uint8_t samples[64];
            Bytes expected(64);
            for (int i = 0; i < 64; ++i) {
                block[i] = full ? random16(random) : static_cast<int16_t>(random() % 129 - 64);
                if (!full && i > 20 && random() % 4 != 0) block[i] = 0;
                quant[i] = static_cast<int16_t>(jpegAanPrescale(i, 1 + random() % 99));
                if (full) quant[i] = random16(random);
            }
            uint8_t* rows[8];
            for (int r = 0; r < 8; ++r)
                rows[r] = &expected[8 * r];
            jpegIdctAanReference(block, quant, rows);
            const int16_t* tables[1] = {quant};
            packed.second(block, samples, 1, 1, tables);
            mismatches += std::memcmp(samples, expected.data(), 64) != 0;
        }
        EXPECT_EQ(mismatches, 0) << packed.first;
    }
}

TEST(ColourTables, MatchTheirClosedFormsInTermsOfTheSampleValue) {
    JpegColourTables t;
    buildJpegColourTables(t);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(t.redFromCr[i], (91882 * i - 11682187) >> 16) << i;
        EXPECT_EQ(t.blueFromCb[i], (116130 * i - 14773807) >> 16) << i;
        EXPECT_EQ(t.greenFromCr[i], 5967255 - 46802 * i) << i;
        EXPECT_EQ(t.greenFromCb[i], 2908403 - 22554 * i) << i;
    }
}

TEST(ColourTables, ChromaIsCentredAtHalfPastHundredTwentySevenAndEveryChannelClamps) {
    JpegColourTables t;
    buildJpegColourTables(t);
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

TEST(ColourTables, ThePackedConversionMatchesThePixelConversion) {
    JpegColourTables t;
    buildJpegColourTables(t);
    std::mt19937 random(5);
    for (int n = 0; n < 20000; ++n) {
        uint8_t in[48]; // four luma rows, Cb, Cr
        for (uint8_t& v : in)
            v = static_cast<uint8_t>(random());
        const int h = 1 + n % 2;
        uint8_t expected[2][64], actual[2][64];
        std::memset(expected, 0xAA, sizeof expected);
        std::memset(actual, 0xAA, sizeof actual);
        jpegConvertChromaRunScalar(t, in + 32, in + 40, h, {in, in + 8, expected[0]},
                                   {in + 16, in + 24, expected[1]});
        jpegConvertChromaRun(t, in + 32, in + 40, h, {in, in + 8, actual[0]},
                             {in + 16, in + 24, actual[1]});
        ASSERT_EQ(std::memcmp(expected, actual, sizeof actual), 0) << n;
    }
}
