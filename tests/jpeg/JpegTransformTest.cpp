// Exact arithmetic of the portable core: both inverse DCTs, the AAN tables, every packed
// implementation against the lane reference, and the colour tables.
#include "jpeg/JpegTransform.h"
#include "jpeg/JpegColour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

std::vector<uint8_t> integerSamples(const int16_t (&coefficients)[64]) {
    int16_t block[64];
    std::memcpy(block, coefficients, sizeof block);
    std::vector<uint8_t> samples(64);
    jpegIdctInteger(block, samples.data());
    return samples;
}

std::vector<uint8_t> aanReference(const int16_t* coefficients, const int16_t* quant) {
    std::vector<uint8_t> samples(64);
    uint8_t* rows[8];
    for (int r = 0; r < 8; ++r)
        rows[r] = samples.data() + 8 * r;
    jpegIdctAanReference(coefficients, quant, rows);
    return samples;
}

std::vector<uint8_t> aanPacked(JpegAanRowTransform transform, const int16_t* coefficients,
                               const int16_t* quant) {
    alignas(16) int16_t in[64];
    alignas(16) int16_t q[64];
    alignas(16) uint8_t out[64];
    std::memcpy(in, coefficients, sizeof in);
    std::memcpy(q, quant, sizeof q);
    const int16_t* tables[1] = {q};
    transform(in, out, 1, 1, tables);
    return std::vector<uint8_t>(out, out + 64);
}

// Every packed implementation of this build, by name.
std::vector<std::pair<const char*, JpegAanRowTransform>> packedTransforms() {
    std::vector<std::pair<const char*, JpegAanRowTransform>> all{
        {"portable", jpegIdctAanRowPortable}};
#if defined(LANTERNMOOR_HAVE_MMX)
    all.push_back({"mmx", jpegIdctAanRowMmx});
#endif
    return all;
}

} // namespace

TEST(IntegerTransform, DcOnlyBlocksGiveTheLevelEverywhere) {
    for (int k = -128; k <= 127; ++k) {
        int16_t block[64] = {static_cast<int16_t>(8 * k)};
        EXPECT_EQ(integerSamples(block), std::vector<uint8_t>(64, static_cast<uint8_t>(k + 128)))
            << "DC " << 8 * k;
    }
    int16_t bright[64] = {2000};
    int16_t dark[64] = {-2000};
    EXPECT_EQ(integerSamples(bright), std::vector<uint8_t>(64, 255));
    EXPECT_EQ(integerSamples(dark), std::vector<uint8_t>(64, 0));
}

TEST(IntegerTransform, SingleAcCoefficientMatchesTheCosineBasis) {
    // Coefficient (0,1) = 160 is a horizontal half-cosine of amplitude 160/8 x sqrt(2) x cos:
    // samples 128 + 20 x sqrt(2)/2 x ... within the transform's rounding of the exact value.
    int16_t block[64] = {0, 160};
    std::vector<uint8_t> s = integerSamples(block);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            double exact = 128 + 160.0 / 4 * std::sqrt(0.5) * std::cos((2 * c + 1) * kPi / 16);
            EXPECT_NEAR(s[8 * r + c], exact, 1.0) << r << "," << c;
            EXPECT_EQ(s[8 * r + c], s[c]) << "columns are constant";
        }
}

TEST(IntegerTransform, ExtremeCoefficientsStayInRangeWithoutOverflowTraps) {
    // Wrapping 32-bit arithmetic, as designed; the sanitizer build checks there is no UB.
    std::mt19937 random(7);
    for (int n = 0; n < 2000; ++n) {
        int16_t block[64];
        for (int16_t& v : block)
            v = static_cast<int16_t>(random() & 0xFFFF);
        integerSamples(block);
    }
    int16_t allMax[64];
    for (int16_t& v : allMax)
        v = 32767;
    std::vector<uint8_t> s = integerSamples(allMax);
    EXPECT_EQ(s.size(), 64u);
}

TEST(IntegerTransform, TheRowTransformMatchesTheScalarTransformBitForBit) {
    std::mt19937 random(99);
    const int blocks = 4000;
    std::vector<int16_t> coefficients(64 * blocks);
    for (int b = 0; b < blocks; ++b) {
        int16_t* c = coefficients.data() + 64 * b;
        int kind = b % 4;
        for (int i = 0; i < 64; ++i) {
            int v = static_cast<int>(random() & 0xFFFF) - 32768; // full range: wraps everywhere
            if (kind == 1) v = v % 700;                          // photo-like magnitudes
            if (kind == 2 && i > 10) v = 0;                      // zero rows and columns
            if (kind == 3 && i % 8 != 0) v = 0;                  // only the first column
            c[i] = static_cast<int16_t>(v);
        }
    }
    std::vector<int16_t> before = coefficients;
    std::vector<uint8_t> samples(64 * blocks);
    jpegIdctIntegerRow(coefficients.data(), samples.data(), blocks);
    EXPECT_EQ(coefficients, before) << "the row transform leaves the coefficients alone";
    int mismatches = 0;
    for (int b = 0; b < blocks; ++b) {
        int16_t block[64];
        std::memcpy(block, before.data() + 64 * b, sizeof block);
        uint8_t expected[64];
        jpegIdctInteger(block, expected);
        if (std::memcmp(expected, samples.data() + 64 * b, 64) != 0) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(AanTables, ScaleTableFollowsItsFormula) {
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) {
            auto a = [](int k) { return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * kPi / 16); };
            EXPECT_EQ(jpegAanScale[8 * u + v], std::lround(16384 * a(u) * a(v))) << u << "," << v;
        }
    const uint16_t firstRow[8] = {16384, 22725, 21407, 19266, 16384, 12873, 8867, 4520};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(jpegAanScale[i], firstRow[i]);
}

TEST(AanTables, PrescaledEntriesRoundAndKeepSixteenBits) {
    EXPECT_EQ(jpegAanPrescale(0, 1), 4);           // (16384 + 2048) >> 12
    EXPECT_EQ(jpegAanPrescale(1, 10), 55);         // (227250 + 2048) >> 12 = 55.98 -> 55
    EXPECT_EQ(jpegAanPrescale(63, 1), 0);          // (1247 + 2048) >> 12
    EXPECT_EQ(jpegAanPrescale(9, 65535), 0xB208u); // 504328 keeps its low 16 bits
}

TEST(AanTransform, DcOnlyBlocksGiveTheLevelEverywhere) {
    int16_t quant[64];
    for (int z = 0; z < 64; ++z)
        quant[z] = static_cast<int16_t>(jpegAanPrescale(z, 1));
    for (int k = -128; k <= 127; ++k) {
        int16_t block[64] = {static_cast<int16_t>(8 * k)};
        EXPECT_EQ(aanReference(block, quant),
                  std::vector<uint8_t>(64, static_cast<uint8_t>(k + 128)))
            << "DC " << 8 * k;
    }
    int16_t bright[64] = {2000};
    int16_t dark[64] = {-2000};
    EXPECT_EQ(aanReference(bright, quant), std::vector<uint8_t>(64, 255));
    EXPECT_EQ(aanReference(dark, quant), std::vector<uint8_t>(64, 0));
}

TEST(AanTransform, EveryPackedImplementationMatchesTheLaneReferenceBitForBit) {
    std::mt19937 random(2024);
    for (const auto& packed : packedTransforms()) {
        int mismatches = 0;
        for (int n = 0; n < 20000; ++n) {
            int16_t block[64];
            int16_t quant[64];
            // Typical photo blocks, then full-range values that wrap and saturate every lane.
            int range = n < 10000 ? 64 : 65536;
            for (int i = 0; i < 64; ++i) {
                block[i] = static_cast<int16_t>(range == 65536
                                                    ? static_cast<int>(random() & 0xFFFF) - 32768
                                                    : static_cast<int>(random() % 129) - 64);
                if (range != 65536 && i > 20 && random() % 4 != 0) block[i] = 0;
                quant[i] = static_cast<int16_t>(jpegAanPrescale(i, 1 + random() % 99));
            }
            if (range == 65536)
                for (int16_t& q : quant)
                    q = static_cast<int16_t>(random() & 0xFFFF);
            if (aanPacked(packed.second, block, quant) != aanReference(block, quant)) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0) << packed.first;
    }
}

TEST(AanTransform, PackedRowsUseEachBlocksOwnTable) {
    // Two MCUs of two blocks: block b of every MCU takes table b.
    int16_t quantA[64], quantB[64];
    for (int z = 0; z < 64; ++z) {
        quantA[z] = static_cast<int16_t>(jpegAanPrescale(z, 1));
        quantB[z] = static_cast<int16_t>(jpegAanPrescale(z, 2));
    }
    alignas(16) int16_t blocks[4 * 64] = {};
    for (int b = 0; b < 4; ++b)
        blocks[64 * b] = 80;
    const int16_t* tables[2] = {quantA, quantB};
    for (const auto& packed : packedTransforms()) {
        alignas(16) uint8_t samples[4 * 64];
        packed.second(blocks, samples, 2, 2, tables);
        for (int b = 0; b < 4; ++b)
            EXPECT_EQ(samples[64 * b + 63], b % 2 == 0 ? 138 : 148) << packed.first << " " << b;
    }
}

TEST(ColourTables, MatchTheirClosedForms) {
    JpegColourTables t;
    buildJpegColourTables(t);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(t.redFromCr[i], (91882 * i - 11682187) >> 16) << i;
        EXPECT_EQ(t.blueFromCb[i], (116130 * i - 14773807) >> 16) << i;
        EXPECT_EQ(t.greenFromCr[i], 5967255 - 46802 * i) << i;
        EXPECT_EQ(t.greenFromCb[i], 2908403 - 22554 * i) << i;
    }
}

TEST(ColourTables, EveryConversionClampsAsDesigned) {
    // Through the clamp table, for every luma and every offset the tables hold.
    JpegColourTables t;
    buildJpegColourTables(t);
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
    for (int y = 0; y < 256; ++y)
        for (int c = 0; c < 256; ++c) {
            uint8_t out[4];
            jpegConvertPixel(t, y, c, c, out);
            ASSERT_EQ(out[0], clamp(y + t.redFromCr[c])) << y << " " << c;
            ASSERT_EQ(out[1], clamp(y + ((t.greenFromCb[c] + t.greenFromCr[c]) >> 16)));
            ASSERT_EQ(out[2], clamp(y + t.blueFromCb[c])) << y << " " << c;
            jpegConvertPixel(t, y, c, 255 - c, out);
            ASSERT_EQ(out[0], clamp(y + t.redFromCr[255 - c]));
            ASSERT_EQ(out[1], clamp(y + ((t.greenFromCb[c] + t.greenFromCr[255 - c]) >> 16)));
        }
}

TEST(ColourTables, ThePackedConversionMatchesThePixelConversion) {
    JpegColourTables t;
    buildJpegColourTables(t);
    std::mt19937 random(5);
    for (int n = 0; n < 20000; ++n) {
        uint8_t luma[4][8], cb[8], cr[8];
        for (auto& row : luma)
            for (uint8_t& v : row)
                v = static_cast<uint8_t>(random());
        for (int x = 0; x < 8; ++x) {
            cb[x] = static_cast<uint8_t>(random());
            cr[x] = static_cast<uint8_t>(random());
        }
        int h = 1 + n % 2;
        uint8_t expected[2][64], actual[2][64];
        std::memset(expected, 0xAA, sizeof expected);
        std::memset(actual, 0xAA, sizeof actual);
        jpegConvertChromaRunScalar(t, cb, cr, h, {luma[0], luma[1], expected[0]},
                                   {luma[2], luma[3], expected[1]});
        jpegConvertChromaRun(t, cb, cr, h, {luma[0], luma[1], actual[0]},
                             {luma[2], luma[3], actual[1]});
        ASSERT_EQ(std::memcmp(expected, actual, sizeof actual), 0) << n;
    }
}

TEST(ColourTables, ChromaIsCentredAtHalfPastHundredTwentySeven) {
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
    EXPECT_EQ(rgb(255, 128, 255)[0], 255); // clamped high
    EXPECT_EQ(rgb(0, 128, 0)[0], 0);       // clamped low
    EXPECT_EQ(rgb(0, 255, 128)[2], 226);   // 0 + (58065 x 255 + 32768) >> 16
    EXPECT_EQ(rgb(76, 85, 255), (std::vector<int>{255, 0, 1}));
}
