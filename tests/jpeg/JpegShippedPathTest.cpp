// The fast paths of the shipped build against their definitions: the transforms that skip what
// the Huffman decoder left at zero, the whole-line colour conversion (plain, SSE2, and MMX under
// Wine) and the storing of decoded lines as pixels. Each must give exactly what the definition
// gives.
#include "base/ProcessorInfo.h"
#include "imaging/PixelBuffer.h"
#include "jpeg/JpegColour.h"
#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Blocks whose coefficients from zig-zag index extent on are 0, and the extents, for every extent
// 0..64 several times; values small like a photograph's, or over the whole range.
struct SparseRow {
    std::vector<int16_t> Coefficients;
    std::vector<uint8_t> Extents;
};

SparseRow MakeSparseRow(std::mt19937& random, bool full) {
    SparseRow row;
    for (int repeat = 0; repeat < 6; ++repeat)
        for (int extent = 0; extent <= 64; ++extent) {
            int16_t block[64] = {};
            for (int k = 0; k < extent; ++k)
                if (k == 0 || random() % 3 != 0)
                    block[jpegZigZag[k]] =
                        static_cast<int16_t>(full ? static_cast<int>(random() & 0xFFFF) - 32768
                                                  : static_cast<int>(random() % 401) - 200);
            row.Coefficients.insert(row.Coefficients.end(), block, block + 64);
            // Extents of 64 and above say nothing about the block.
            row.Extents.push_back(static_cast<uint8_t>(extent == 64 && repeat % 2 ? 200 : extent));
        }
    return row;
}

TEST(ShippedPath, SparseTransformsEqualTheFullOnes) {
    std::mt19937 random(14);
    for (const bool full : {false, true}) {
        SparseRow row = MakeSparseRow(random, full);
        const int blocks = static_cast<int>(row.Extents.size());
        const std::vector<int16_t> before = row.Coefficients;
        std::vector<uint8_t> samples(64 * blocks), expected(64 * blocks);

        jpegIdctIntegerRowSparse(row.Coefficients.data(), samples.data(), blocks,
                                 row.Extents.data());
        for (int i = 0; i < blocks; ++i) {
            int16_t scratch[64];
            std::memcpy(scratch, &before[64 * i], sizeof scratch);
            jpegIdctInteger(scratch, &expected[64 * i]);
        }
        EXPECT_EQ(samples, expected) << "integer, full range " << full;
        EXPECT_EQ(row.Coefficients, before);

#if LANTERNMOOR_HAVE_MMX || LANTERNMOOR_HAVE_SSE2
        // One MCU of `blocks` blocks, each with a table of its own.
        std::vector<int16_t> tables(64 * blocks);
        std::vector<const int16_t*> quant(blocks);
        for (int i = 0; i < blocks; ++i) {
            for (int z = 0; z < 64; ++z)
                tables[64 * i + z] =
                    full ? static_cast<int16_t>(random())
                         : static_cast<int16_t>(jpegAanPrescale(z, 1 + random() % 60));
            quant[i] = &tables[64 * i];
            uint8_t* rows[8];
            for (int r = 0; r < 8; ++r)
                rows[r] = &expected[64 * i + 8 * r];
            jpegIdctAanReference(&before[64 * i], quant[i], rows);
        }
#if LANTERNMOOR_HAVE_MMX
        jpegIdctAanRowMmxSparse(row.Coefficients.data(), samples.data(), 1, blocks, quant.data(),
                                row.Extents.data());
        EXPECT_EQ(samples, expected) << "AAN, MMX, full range " << full;
#endif
#if LANTERNMOOR_HAVE_SSE2
        if (processorInfo().HasSse2) {
            jpegIdctAanRowSse2(row.Coefficients.data(), samples.data(), 1, blocks, quant.data(),
                               row.Extents.data());
            EXPECT_EQ(samples, expected) << "AAN, SSE2, full range " << full;
        }
#endif
#endif
    }
}

// Every layout's line source over three MCUs of random samples: each converter against the
// chroma runs of the definition, MCU by MCU, with one output line and with two.
TEST(ShippedPath, WholeLinesEqualTheChromaRuns) {
    std::mt19937 random(1400);
    JpegColourTables tables;
    buildJpegColourTables(tables);
    struct Layout {
        int Blocks, H, Luma, Chroma;
    };
    // H1V1 row 5, H2V1 row 3, H1V2 rows 10 and 11, H2V2 rows 6 and 7.
    const Layout layouts[] = {{3, 1, 40, 104}, {4, 2, 24, 152}, {4, 1, 80, 168}, {6, 2, 48, 280}};
    int compared = 0;
    for (const Layout& layout : layouts)
        for (const bool two : {false, true}) {
            const int mcus = 3;
            std::vector<uint8_t> samples(64 * layout.Blocks * mcus);
            for (uint8_t& s : samples)
                s = static_cast<uint8_t>(random());
            const JpegLineSource source{samples.data(), mcus,        64 * layout.Blocks,
                                        layout.H,       layout.Luma, layout.Chroma};
            const std::size_t bytes = 32 * layout.H * mcus;
            std::vector<uint8_t> expected(2 * bytes, 0xAA);
            for (int m = 0; m < mcus; ++m) {
                const uint8_t* s = samples.data() + 64 * layout.Blocks * m;
                const uint8_t* y = s + layout.Luma;
                const uint8_t* c = s + layout.Chroma;
                uint8_t* out0 = expected.data() + 32 * layout.H * m;
                jpegConvertChromaRunScalar(tables, c, c + 64, layout.H, {y, y + 64, out0},
                                           {y + 8, y + 72, two ? out0 + bytes : nullptr});
            }
            std::vector<uint8_t> actual(2 * bytes, 0xAA);
            jpegConvertLine(tables, source, actual.data(), two ? actual.data() + bytes : nullptr);
            EXPECT_EQ(actual, expected) << "plain, layout " << &layout - layouts << ", " << two;
#if LANTERNMOOR_HAVE_MMX
            std::fill(actual.begin(), actual.end(), 0xAA);
            jpegConvertLineMmx(source, actual.data(), two ? actual.data() + bytes : nullptr);
            EXPECT_EQ(actual, expected) << "MMX, layout " << &layout - layouts << ", " << two;
#endif
#if LANTERNMOOR_HAVE_SSE2
            if (processorInfo().HasSse2) {
                std::fill(actual.begin(), actual.end(), 0xAA);
                jpegConvertLineSse2(source, actual.data(), two ? actual.data() + bytes : nullptr);
                EXPECT_EQ(actual, expected) << "SSE2, layout " << &layout - layouts << ", " << two;
            }
#endif
            ++compared;
        }
    EXPECT_EQ(compared, 8);
}

// Lines of every width up to 9 (whole groups of four pixels and the rest), the fourth byte of
// each decoded pixel set to show that it is dropped.
TEST(ShippedPath, DecodedLinesBecomePixels) {
    std::mt19937 random(7);
    for (int width = 0; width <= 9; ++width) {
        std::vector<uint8_t> line(4 * width);
        for (uint8_t& b : line)
            b = static_cast<uint8_t>(random());
        std::vector<Pixel> pixels(width + 1, 0xDEADBEEF), expected(width + 1, 0xDEADBEEF);
        for (int x = 0; x < width; ++x)
            expected[x] = PackPixel(line[4 * x], line[4 * x + 1], line[4 * x + 2]);
        StoreDecodedLine(line.data(), pixels.data(), width);
        EXPECT_EQ(pixels, expected) << "width " << width;
    }
}

} // namespace
