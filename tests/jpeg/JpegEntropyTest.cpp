// Huffman decoding, runs, magnitude categories, restarts and the marker reader, on hand-made
// files whose every pixel is known. Each case runs with both transforms and both bit readers.
#include "JpegTestSupport.h"

#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

struct Variant {
    const char* name;
    bool simdTransform;
    bool simdBitReader;
};
const Variant variants[] = {
    {"integer/standard", false, false},
    {"integer/packed", false, true},
    {"aan/standard", true, false},
    {"aan/packed", true, true},
};

Decoded decodeWith(const Bytes& file, const Variant& v) {
    JpegDecoderOptions options;
    options.simdTransform = v.simdTransform;
    options.simdBitReader = v.simdBitReader;
    return decodeBytes(file, options);
}

const HuffmanCode& dc = testDcTable();
const HuffmanCode& ac = testAcTable();
const uint8_t EOB = 0x00, ZRL = 0xF0;

} // namespace

TEST(Entropy, DcDifferencesAccumulateInThePredictor) {
    BitWriter w;
    w.dc(dc, 80).symbol(ac, EOB);   // 80 -> 138
    w.dc(dc, 0).symbol(ac, EOB);    // 80 -> 138
    w.dc(dc, -160).symbol(ac, EOB); // -80 -> 118
    w.dc(dc, 2000).symbol(ac, EOB); // saturates -> 255
    Bytes file = greyFile(32, 8, w.take());
    for (const Variant& v : variants) {
        Decoded d = decodeWith(file, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(blockOf(d.picture, 0), Bytes(64, 138)) << v.name;
        EXPECT_EQ(blockOf(d.picture, 1), Bytes(64, 138)) << v.name;
        EXPECT_EQ(blockOf(d.picture, 2), Bytes(64, 118)) << v.name;
        EXPECT_EQ(blockOf(d.picture, 3), Bytes(64, 255)) << v.name;
    }
}

TEST(Entropy, SixteenBitCodesDecodeThroughTheTree) {
    HuffmanCode longDc; // '0' -> 0, and 1000000000000000 -> category 5
    longDc.counts[0] = 1;
    longDc.counts[15] = 1;
    longDc.symbols = {0, 5};
    ASSERT_EQ(longDc.code(5), std::make_pair(0x8000u, 16));
    JpegBuilder b;
    b.soi().dqt(0, 1).sof(0xC0, 16, 8, {{1, 1, 1, 0}}).dht(0, 0, longDc).dht(1, 0, ac);
    BitWriter w;
    w.dc(longDc, 24).symbol(ac, EOB).dc(longDc, 0).symbol(ac, EOB);
    b.sos({{1, 0, 0}}).raw(w.take()).eoi();
    for (const Variant& v : variants) {
        Decoded d = decodeWith(b.bytes, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(d.picture.pixels, Bytes(128, 131)) << v.name;
    }
}

TEST(Entropy, PatternsThatMatchNoCodeDecodeAsSymbolZero) {
    // Only short codes: one-bits match nothing, so every DC difference is 0 and every AC
    // symbol is EOB, taking no bits at all (symbol 0 has no code).
    HuffmanCode shortDc = uniformTable(2, {3});
    HuffmanCode shortAc = uniformTable(1, {0x01});
    JpegBuilder b;
    b.soi().dqt(0, 1).sof(0xC0, 24, 16, {{1, 1, 1, 0}}).dht(0, 0, shortDc).dht(1, 0, shortAc);
    b.sos({{1, 0, 0}}).raw({0xFF, 0x00, 0xFF, 0x00}).eoi();
    for (const Variant& v : variants) {
        Decoded d = decodeWith(b.bytes, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(d.picture.pixels, Bytes(24 * 16, 128)) << v.name;
        EXPECT_EQ(d.bytesConsumed, static_cast<long>(b.bytes.size())) << v.name;
    }

    // Through the tree: 100000001 leaves the one long code (100000000 -> category 4) at its
    // last bit; it decodes as symbol 0 after all nine bits, so the next block stays aligned.
    HuffmanCode treeDc;
    treeDc.counts[0] = 1;
    treeDc.counts[8] = 1;
    treeDc.symbols = {2, 4};
    JpegBuilder t;
    t.soi().dqt(0, 1).sof(0xC0, 16, 8, {{1, 1, 1, 0}}).dht(0, 0, treeDc).dht(1, 0, ac);
    BitWriter w;
    w.bits(0x101, 9).symbol(ac, EOB).dc(treeDc, 8).symbol(ac, EOB);
    t.sos({{1, 0, 0}}).raw(w.take()).eoi();
    for (const Variant& v : variants) {
        Decoded d = decodeWith(t.bytes, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(blockOf(d.picture, 0), Bytes(64, 128)) << v.name;
        EXPECT_EQ(blockOf(d.picture, 1), Bytes(64, 129)) << v.name;
    }
}

TEST(Entropy, RunsReachTheLastCoefficientButNotBeyond) {
    // 0xE1 at k = 1 stores at 15; two ZRLs bring k to 48; r = 15 there stores at 63.
    BitWriter w;
    w.dc(dc, 0).ac(ac, 14, 1).symbol(ac, ZRL).symbol(ac, ZRL).ac(ac, 15, -1);
    // The same with ZRL at 48: fills 48..63 with zero and ends the block.
    w.dc(dc, 0).ac(ac, 14, 1).symbol(ac, ZRL).symbol(ac, ZRL).symbol(ac, ZRL);
    Bytes file = greyFile(16, 8, w.take());
    int16_t first[64] = {};
    first[jpegZigZag[15]] = 1;
    first[jpegZigZag[63]] = -1;
    int16_t second[64] = {};
    second[jpegZigZag[15]] = 1;
    for (const Variant& v : variants) {
        Decoded d = decodeWith(file, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(blockOf(d.picture, 0), expectedBlock(first, v.simdTransform)) << v.name;
        EXPECT_EQ(blockOf(d.picture, 1), expectedBlock(second, v.simdTransform)) << v.name;
    }

    // From k = 49 both r = 15 with a value and ZRL run past 63.
    BitWriter late;
    late.dc(dc, 0).ac(ac, 15, 1).symbol(ac, ZRL).symbol(ac, ZRL).ac(ac, 15, 1);
    BitWriter lateZrl;
    lateZrl.dc(dc, 0).ac(ac, 15, 1).symbol(ac, ZRL).symbol(ac, ZRL).symbol(ac, ZRL);
    for (const Bytes& entropy : {late.take(), lateZrl.take()}) {
        for (const Variant& v : variants) {
            Decoded d = decodeWith(greyFile(8, 8, entropy), v);
            EXPECT_EQ(d.lastDecodeResult, CorruptScan) << v.name;
            EXPECT_EQ(d.errorCode, CorruptScan) << v.name;
            EXPECT_EQ(d.linesDelivered, 0) << v.name;
        }
    }
}

TEST(Entropy, BlocksReusingTheRowBufferStartClean) {
    // Two MCU rows: the first block is busy, the one below it (same buffer) has only DC.
    BitWriter w;
    w.dc(dc, 0);
    for (int i = 0; i < 10; ++i)
        w.ac(ac, 0, 5);
    w.ac(ac, 2, 1).symbol(ac, EOB);
    w.dc(dc, 8).symbol(ac, EOB);
    Decoded d = decodeWith(greyFile(8, 16, w.take()), variants[0]);
    ASSERT_EQ(d.lastDecodeResult, 1);
    EXPECT_EQ(Bytes(d.picture.pixels.begin() + 64, d.picture.pixels.end()), Bytes(64, 129));
}

TEST(Entropy, DcCategoriesUpToSixteenAreReadAsWrittenAndSeventeenIsCorrupt) {
    BitWriter w;
    w.dc(dc, 2047).symbol(ac, EOB);                           // category 11
    w.dc(dc, -4094).symbol(ac, EOB);                          // category 12: -2047
    w.symbol(dc, 16).bits(0x8000 + 2047, 16).symbol(ac, EOB); // category 16: +34815
    Bytes file = greyFile(24, 8, w.take());
    Decoded d = decodeWith(file, variants[0]);
    ASSERT_EQ(d.lastDecodeResult, 1);
    EXPECT_EQ(blockOf(d.picture, 0), Bytes(64, 255));
    EXPECT_EQ(blockOf(d.picture, 1), Bytes(64, 0));
    // The predictor reaches 32768, -32768 as a 16-bit coefficient; shifted left by 2 it keeps
    // 0 in the 16-bit intermediate block: mid grey.
    EXPECT_EQ(blockOf(d.picture, 2), Bytes(64, 128));

    BitWriter bad;
    bad.symbol(dc, 17).bits(0xFFFF, 16).bits(1, 1).symbol(ac, EOB);
    Bytes corrupt = greyFile(8, 8, bad.take());
    for (const Variant& v : variants) {
        Decoded c = decodeWith(corrupt, v);
        EXPECT_EQ(c.errorCode, CorruptScan) << v.name;
    }
}

namespace {

// Grey picture of n blocks in a row, restart interval 1, every block DC difference 80 (level
// 138 only if the predictor is reset at each restart); markers given per interval.
Bytes restartFile(int blocks, const std::vector<Bytes>& markers) {
    Bytes entropy;
    for (int i = 0; i < blocks; ++i) {
        BitWriter w;
        w.dc(dc, 80).symbol(ac, EOB);
        Bytes interval = w.take();
        entropy.insert(entropy.end(), interval.begin(), interval.end());
        if (i + 1 < blocks) entropy.insert(entropy.end(), markers[i].begin(), markers[i].end());
    }
    return greyFile(8 * blocks, 8, entropy, 1);
}

std::vector<Bytes> restartMarkers(int count) {
    std::vector<Bytes> markers;
    for (int i = 0; i < count; ++i)
        markers.push_back({0xFF, static_cast<uint8_t>(0xD0 + i % 8)});
    return markers;
}

} // namespace

TEST(Restarts, NumbersWrapFromSevenToZeroAndResetThePredictors) {
    Bytes file = restartFile(10, restartMarkers(9));
    for (const Variant& v : variants) {
        Decoded d = decodeWith(file, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(d.picture.pixels, Bytes(80 * 8, 138)) << v.name;
    }
}

TEST(Restarts, FillBytesBeforeTheMarkerAreSkipped) {
    std::vector<Bytes> markers = restartMarkers(3);
    markers[0] = {0xFF, 0xFF, 0xFF, 0xD0};
    markers[2] = {0xFF, 0xFF, 0xD2};
    for (const Variant& v : variants) {
        Decoded d = decodeWith(restartFile(4, markers), v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(d.picture.pixels, Bytes(32 * 8, 138)) << v.name;
    }
}

TEST(Restarts, AnOutOfSequenceOrMissingMarkerIsRejected) {
    std::vector<Bytes> wrong = restartMarkers(3);
    wrong[2] = {0xFF, 0xD3}; // RST3 where RST2 is expected
    std::vector<Bytes> missing = restartMarkers(3);
    missing[1] = Bytes(1600, 0x55); // no marker within the 1536 bytes looked at
    for (const auto& markers : {wrong, missing}) {
        for (const Variant& v : variants) {
            Decoded d = decodeWith(restartFile(4, markers), v);
            EXPECT_EQ(d.lastDecodeResult, CorruptScan) << v.name;
            EXPECT_EQ(d.errorCode, BadRestartMarker) << v.name;
        }
    }
}

TEST(Markers, SegmentsFillBytesAndStuffingBetweenSegmentsAreSkipped) {
    Bytes base = validGreyFile();
    Bytes extra{0xFF, 0xE1, 0x00, 0x06, 'E', 'x', 'i', 'f', // APP1
                0xFF, 0xFE, 0x00, 0x05, 'h', 'i', '!',      // COM
                0xFF, 0xEF, 0x00, 0x02,                     // APP15, no data
                0x12, 0x34,                                 // stray bytes
                0xFF, 0x00,                                 // FF 00 outside a segment
                0xFF, 0xFF, 0xFF};                          // fill bytes before DQT
    Bytes file = insertBefore(base, 0xDB, extra);
    file = insertBefore(file, 0xDA, {0xFF, 0xFE, 0x00, 0x02, 0xFF, 0xFF});
    for (const Variant& v : variants) {
        Decoded expected = decodeWith(base, v);
        Decoded d = decodeWith(file, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(d.picture.pixels, expected.picture.pixels) << v.name;
        EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size())) << v.name;
    }
}

TEST(Markers, StartOfImageIsFoundWithinTheFirst513Bytes) {
    Bytes base = validGreyFile();
    auto prefixed = [&](size_t garbage) {
        Bytes file(garbage + base.size(), 0x20);
        std::copy(base.begin(), base.end(), file.begin() + static_cast<long>(garbage));
        return decodeBytes(file, false);
    };
    EXPECT_EQ(prefixed(0).lastDecodeResult, 1);
    EXPECT_EQ(prefixed(5).lastDecodeResult, 1);
    EXPECT_EQ(prefixed(511).lastDecodeResult, 1); // D8 is byte 513
    EXPECT_EQ(prefixed(512).errorCode, NoStartOfImage);

    // 20 FF D8 00 ...: found late, but no marker follows it.
    Bytes noMarkerAfter(base.size() + 2, 0x00);
    noMarkerAfter[0] = 0x20;
    noMarkerAfter[1] = 0xFF;
    noMarkerAfter[2] = 0xD8;
    std::copy(base.begin() + 2, base.end(), noMarkerAfter.begin() + 4);
    EXPECT_EQ(decodeBytes(noMarkerAfter, false).errorCode, NoStartOfImage);
}

TEST(Markers, BytesConsumedStopsAtTheEndOfImage) {
    Bytes file = validGreyFile();
    size_t size = file.size();
    file.insert(file.end(), {0x00, 0x11, 0x22, 0x33});
    for (const Variant& v : variants) {
        Decoded d = decodeWith(file, v);
        ASSERT_EQ(d.lastDecodeResult, 1) << v.name;
        EXPECT_EQ(d.bytesConsumed, static_cast<long>(size)) << v.name;
    }
}
