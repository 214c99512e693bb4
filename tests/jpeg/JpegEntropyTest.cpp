// Huffman decoding, runs, magnitude categories, restarts and the marker reader, on hand-made
// files whose every pixel is known, with both transforms and both bit readers.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const HuffmanCode& dc = testDcTable();
const HuffmanCode& ac = testAcTable();
const int EOB = 0x00, ZRL = 0xF0;

} // namespace

TEST(Entropy, DcDifferencesOfEveryCategoryUpToSixteenAccumulateInThePredictor) {
    // Categories 11, 12, 16 and 15 (12 to 16 never occur in conforming 8-bit data, but are read
    // as written): the predictor reaches 32768, which a 16-bit coefficient holds as -32768;
    // then 80, 80, -80 and saturation.
    BitWriter w;
    w.dc(dc, 2047).symbol(ac, EOB).dc(dc, -4094).symbol(ac, EOB);
    w.symbol(dc, 16).bits(0x8000 + 2047, 16).symbol(ac, EOB);
    for (int diff : {80 - 32768, 0, -160, 2000})
        w.dc(dc, diff).symbol(ac, EOB);
    expectBlocks(
        greyFile(56, 8, w.take()),
        {{{0, 2047}}, {{0, -2047}}, {{0, -32768}}, {{0, 80}}, {{0, 80}}, {{0, -80}}, {{0, 1920}}});
}

TEST(Entropy, SixteenBitCodesAndPatternsThatMatchNoCodeGoThroughTheTree) {
    // '0' -> 0 and 1000000000000000 -> category 5.
    HuffmanCode longDc;
    longDc.counts[0] = longDc.counts[15] = 1;
    longDc.symbols = {0, 5};
    ASSERT_EQ(longDc.code(5), std::make_pair(0x8000u, 16));
    BitWriter w;
    w.dc(longDc, 24).symbol(ac, EOB).dc(longDc, 0).symbol(ac, EOB);
    expectPicture(greyFile(16, 8, w.take(), 0, longDc), Bytes(128, 131));

    // 100000001 leaves the one long code (100000000 -> category 4) at its last bit; it decodes
    // as symbol 0 after all nine bits, so the next block stays aligned.
    HuffmanCode treeDc;
    treeDc.counts[0] = treeDc.counts[8] = 1;
    treeDc.symbols = {2, 4};
    w.bits(0x101, 9).symbol(ac, EOB).dc(treeDc, 8).symbol(ac, EOB);
    expectBlocks(greyFile(16, 8, w.take(), 0, treeDc), {{}, {{0, 8}}});

    // Only short codes: one-bits match nothing, so every DC difference is 0 and every AC
    // symbol is EOB, taking no bits at all (symbol 0 has no code).
    Bytes noMatch = u8({0xFF, 0x00, 0xFF, 0x00});
    expectPicture(greyFile(24, 16, noMatch, 0, uniformTable(2, {3}), uniformTable(1, {0x01})),
                  Bytes(24 * 16, 128));
}

TEST(Entropy, RunsReachTheLastCoefficientAndTheNextBlockStartsClean) {
    // 0xE1 at k = 1 stores at 15; two ZRLs bring k to 48; r = 15 there stores at 63, or ZRL
    // fills 48..63 and ends the block. (From k = 49 both are corrupt: see the error cases.)
    BitWriter w;
    w.dc(dc, 0).ac(ac, 14, 1).symbol(ac, ZRL).symbol(ac, ZRL).ac(ac, 15, -1);
    w.dc(dc, 0).ac(ac, 14, 1).symbol(ac, ZRL).symbol(ac, ZRL).symbol(ac, ZRL);
    expectBlocks(greyFile(16, 8, w.take()), {{{15, 1}, {63, -1}}, {{15, 1}}});

    // Two MCU rows: the block below the busy one reuses its buffer and has only DC.
    Block busy{{13, 1}};
    w.dc(dc, 0);
    for (int k = 1; k <= 10; ++k) {
        w.ac(ac, 0, 5);
        busy.push_back({k, 5});
    }
    w.ac(ac, 2, 1).symbol(ac, EOB).dc(dc, 8).symbol(ac, EOB);
    expectBlocks(greyFile(8, 16, w.take()), {busy, {{0, 8}}}, 1);
}

TEST(Restarts, NumbersWrapFromSevenToZeroFillBytesAreSkippedAndPredictorsReset) {
    // (A marker out of sequence or missing is among the error cases.)
    expectPicture(restartFile(10), Bytes(80 * 8, 138));
    expectPicture(restartFile(4, {{0, {0xFF, 0xFF, 0xFF, 0xD0}}, {2, {0xFF, 0xFF, 0xD2}}}),
                  Bytes(32 * 8, 138));
}

TEST(Markers, SegmentsFillBytesAndStuffingBetweenSegmentsAreSkipped) {
    const Bytes base = validGreyFile();
    Bytes extra{0xFF, 0xE1, 0x00, 0x06, 'E', 'x', 'i', 'f', // APP1
                0xFF, 0xFE, 0x00, 0x05, 'h', 'i', '!',      // COM
                0xFF, 0xEF, 0x00, 0x02,                     // APP15, no data
                0x12, 0x34,                                 // stray bytes
                0xFF, 0x00,                                 // FF 00 outside a segment
                0xFF, 0xFF, 0xFF};                          // fill bytes before DQT
    Bytes file = insertBefore(base, 0xDB, extra);
    file = insertBefore(file, 0xDA, {0xFF, 0xFE, 0x00, 0x02, 0xFF, 0xFF});
    expectPicture(file,
                  [&](const JpegDecoderOptions& v) { return decode(base, v).picture.pixels; });
}

TEST(Markers, StartOfImageIsFoundWithinTheFirst513Bytes) {
    const Bytes base = validGreyFile();
    for (size_t garbage : {0, 5, 511, 512}) { // at 511, D8 is byte 513
        Bytes file(garbage, 0x20);
        file.insert(file.end(), base.begin(), base.end());
        EXPECT_EQ(decode(file).errorCode, garbage < 512 ? 0 : NoStartOfImage) << garbage;
    }
    // 20 FF D8 00 ...: found, but no marker follows it.
    Bytes noMarkerAfter{0x20, 0xFF, 0xD8, 0x00};
    noMarkerAfter.insert(noMarkerAfter.end(), base.begin() + 2, base.end());
    EXPECT_EQ(decode(noMarkerAfter).errorCode, NoStartOfImage);
}

TEST(Markers, BytesConsumedStopsAtTheEndOfImage) {
    Bytes file = validGreyFile();
    const long size = static_cast<long>(file.size());
    file.insert(file.end(), {0x00, 0x11, 0x22, 0x33});
    for (const JpegDecoderOptions& v : allVariants) {
        Decoded d = decode(file, v);
        EXPECT_TRUE(d.complete()) << describe(v);
        EXPECT_EQ(d.bytesConsumed, size) << describe(v);
    }
}
