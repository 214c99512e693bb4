// Table redefinition, and every error code a file can provoke, each by a crafted file in every
// variant; after each failure the decoder owns nothing and has detached its stream exactly once
// (decode checks both, and how every public call behaves in every state).
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(Decoder, RedefinedTablesReuseTheirBlocksAndTheLaterDefinitionHolds) {
    // Every table defined again before the scan, quantisation table 0 as all twos: the DC of 8
    // doubles (130 instead of 129), and no block more is taken.
    BitWriter w;
    Bytes once = greyFile(8, 8, w.dc(testDcTable(), 8).symbol(testAcTable(), 0).take());
    JpegBuilder again;
    again.dqt(0, 1).dht(0, 0, testDcTable()).dht(1, 0, testAcTable()).dqt(0, 2);
    Bytes twice = insertBefore(once, 0xDA, again.bytes);
    EXPECT_EQ(decode(twice).allocations, decode(once).allocations);
    expectPicture(twice, Bytes(64, 130));
}

namespace {

// The call that reports the error.
enum Stage { AtBegin, AtBeginDecoding, AtDecode };

void expectFailure(const Decoded& d, int code, Stage stage) {
    EXPECT_EQ(d.errorCode, code) << jpegErrorName(d.errorCode);
    EXPECT_EQ(d.errorAfterBegin, stage == AtBegin ? code : 0);
    EXPECT_EQ(d.beginDecodingResult, stage == AtDecode ? 0 : -1);
}

struct Case {
    std::string name;
    Bytes file;
    int code;
};

Bytes sofPayload(int precision, int height, int width, int count) {
    Bytes p = u8({precision, height >> 8, height, width >> 8, width, count});
    for (int i = 0; i < count; ++i)
        p.insert(p.end(), {static_cast<uint8_t>(i + 1), 0x11, 0});
    return p;
}

// A 16 x 16 file with the given frame and scan, tables all defined.
Bytes colourFile(const Frame& frame, const Scan& scan) {
    JpegBuilder b;
    b.soi().dqt(0, 1).sof(0xC0, 16, 16, frame).dht(0, 0, testDcTable()).dht(1, 0, testAcTable());
    return b.sos(scan).raw(Bytes(40, 0)).eoi().bytes;
}

// A DHT payload: table byte, counts at the given lengths, the first n symbols 0, 1, ...
Bytes dht(int tableByte, const std::vector<std::pair<int, int>>& counts, int symbols) {
    Bytes p(17, 0);
    p[0] = static_cast<uint8_t>(tableByte);
    for (auto& lc : counts)
        p[static_cast<size_t>(lc.first)] = static_cast<uint8_t>(lc.second);
    for (int i = 0; i < symbols; ++i)
        p.push_back(static_cast<uint8_t>(i));
    return p;
}

// The crafted files of each stage.
std::vector<Case> cases(Stage stage) {
    const Bytes grey = validGreyFile();
    auto seg = [&](int marker, const Bytes& payload) { return withSegment(grey, marker, payload); };
    auto before = [&](int marker, const Bytes& bytes) { return insertBefore(grey, marker, bytes); };
    auto frame = [&](int marker) {
        Bytes f = grey;
        f[findMarker(f, 0xC0) + 1] = static_cast<uint8_t>(marker);
        return f;
    };
    const HuffmanCode &dc = testDcTable(), &ac = testAcTable(), &pac = progressiveAcTable();
    Bytes wideDqt(65, 1), longSof = sofPayload(8, 16, 16, 1);
    wideDqt[0] = 0x10;
    longSof.push_back(0);
    // Progressive files of 16 x 16 pixels: one grey component, or three with 2 x 2 luma.
    const Frame pGrey{{1, 1, 1, 0}}, pColour{{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    const Scan y{{1, 0, 0}};
    auto dcScan = [&](const Scan& components, int blocks, int high = 0, int low = 0) {
        BitWriter w;
        for (int i = 0; i < blocks; ++i)
            w.dc(dc, 0);
        return ProgressiveScan{components, 0, 0, high, low, w.take()};
    };
    // A DC scan of the 4 grey blocks, then one AC scan with these bits.
    auto acScan = [&](int start, int end, int high, int low, BitWriter bits) {
        return progressiveFile(16, 16, pGrey,
                               {dcScan(y, 4), {y, start, end, high, low, bits.take()}});
    };
    BitWriter r15, zrl, category17; // from k = 49: r = 15 stores at 64, ZRL runs to 65
    r15.dc(dc, 0).ac(ac, 15, 1).ac(ac, 15, 1).ac(ac, 15, 1).ac(ac, 15, 1);
    zrl.dc(dc, 0).ac(ac, 15, 1).symbol(ac, 0xF0).symbol(ac, 0xF0).symbol(ac, 0xF0);
    category17.symbol(dc, 17).bits(0, 17);
    Frame unquantised = pColour;
    unquantised[2].quantTable = 1;
    if (stage == AtBegin)
        return {
            {"counts above 255", seg(0xC4, dht(0, {{15, 100}, {16, 156}}, 0)), DhtCountsTooLarge},
            {"three 1-bit codes", seg(0xC4, dht(0, {{1, 3}}, 3)), DhtCountsTooLarge},
            {"code space overflowing at length 3",
             seg(0xC4, dht(0x10, {{1, 1}, {2, 2}, {3, 1}}, 4)), DhtCountsTooLarge},
            {"DHT slot 8", seg(0xC4, dht(0x14, {{2, 1}}, 1)), DhtBadIndex},
            {"DHT length 1", before(0xDB, {0xFF, 0xC4, 0, 1}), DhtBadLength},
            {"DHT symbols cut short", seg(0xC4, dht(0, {{2, 3}}, 2)), DhtBadLength},
            {"DQT length 1", before(0xDB, {0xFF, 0xDB, 0, 1}), DqtBadLength},
            {"DQT id 4", seg(0xDB, Bytes(65, 4)), DqtBadIndex},
            {"DQT 63 values", seg(0xDB, Bytes(64, 0)), DqtTruncated},
            {"DQT 16-bit 64 bytes", seg(0xDB, wideDqt), DqtTruncated},
            {"12-bit samples", seg(0xC0, sofPayload(12, 16, 16, 1)), BadPrecision},
            {"height 0", seg(0xC0, sofPayload(8, 0, 16, 1)), BadHeight},
            {"height 8193", seg(0xC0, sofPayload(8, 8193, 16, 1)), BadHeight},
            {"width 0", seg(0xC0, sofPayload(8, 16, 0, 1)), BadWidth},
            {"width 8193", seg(0xC0, sofPayload(8, 16, 8193, 1)), BadWidth},
            {"five components", seg(0xC0, sofPayload(8, 16, 16, 5)), TooManyComponents},
            {"frame length", seg(0xC0, longSof), SofBadLength},
            {"APP0 length 1", before(0xDB, {0xFF, 0xE0, 0, 1}), MarkerBadLength},
            {"DRI length 5", before(0xDB, {0xFF, 0xDD, 0, 5, 0, 1, 0}), DriBadLength},
            {"DAC segment", before(0xC0, {0xFF, 0xCC, 0, 4, 0, 0x11}), ArithmeticCoding},
            {"SOF9 frame", frame(0xC9), ArithmeticCoding},
            {"cjpeg -arithmetic", corpusFile("arithmetic"), ArithmeticCoding},
            {"RST0 between segments", before(0xDB, {0xFF, 0xD0}), UnexpectedMarker},
            {"TEM", before(0xDB, {0xFF, 0x01}), UnexpectedMarker},
            {"JPG", before(0xDB, {0xFF, 0xC8}), UnexpectedMarker},
            {"no SOI", Bytes(600, 0), NoStartOfImage},
            {"empty file", Bytes(), NoStartOfImage},
            {"lossless SOF3", frame(0xC3), UnsupportedFrame},
            {"SOF5", frame(0xC5), UnsupportedFrame},
            {"arithmetic progressive SOF10", frame(0xCA), UnsupportedFrame},
            {"scan before any frame", before(0xDB, {0xFF, 0xDA}), UnsupportedFrame},
        };
    if (stage == AtDecode)
        return {
            {"AC r = 15 at k = 49", greyFile(8, 8, r15.take()), CorruptScan},
            {"AC ZRL at k = 49", greyFile(8, 8, zrl.take()), CorruptScan},
            {"DC category 17", greyFile(8, 8, BitWriter(category17).take()), CorruptScan},
            {"RST3 where RST2 is expected", restartFile(4, {{2, {0xFF, 0xD3}}}), BadRestartMarker},
            {"no marker within 1536 bytes", restartFile(4, {{1, Bytes(1600, 0x55)}}),
             BadRestartMarker},
            {"EOI where RST0 is expected", greyFile(16, 8, Bytes(40, 0), 1), BadRestartMarker},
        };
    return {
        {"scan of no component", seg(0xDA, {0, 0, 63, 0}), SosBadLength},
        {"scan length", seg(0xDA, {1, 1, 0, 0, 63, 0, 0}), SosBadLength},
        {"scan names an absent id", seg(0xDA, {1, 9, 0, 0, 63, 0}), SosBadComponent},
        {"scan names a component twice", colourFile(pColour, {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}}),
         SosBadComponent},
        {"EOI before the scan", before(0xDA, {0xFF, 0xD9}), UnexpectedMarker},
        {"second frame before the scan", before(0xDA, {0xFF, 0xC0}), UnexpectedMarker},
        {"undefined quantisation table", seg(0xC0, {8, 0, 16, 0, 16, 1, 1, 0x11, 1}),
         QuantTableMissing},
        {"quantisation table number 7", seg(0xC0, {8, 0, 16, 0, 16, 1, 1, 0x11, 7}),
         QuantTableMissing},
        {"undefined DC table", seg(0xDA, {1, 1, 0x10, 0, 63, 0}), HuffTableMissing},
        {"DC selector 5", seg(0xDA, {1, 1, 0x50, 0, 63, 0}), HuffTableMissing},
        {"AC selector 7", seg(0xDA, {1, 1, 0x07, 0, 63, 0}), HuffTableMissing},
        {"two components", colourFile({{1, 1, 1, 0}, {2, 1, 1, 0}}, y), UnsupportedComponents},
        {"four components", colourFile({{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 1, 0}}, y),
         UnsupportedComponents},
        {"no component", seg(0xC0, sofPayload(8, 16, 16, 0)), UnsupportedComponents},
        {"chroma 2x1", colourFile({{1, 2, 2, 0}, {2, 2, 1, 0}, {3, 1, 1, 0}}, y),
         UnsupportedSampling},
        {"luma 3x1", colourFile({{1, 3, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, y),
         UnsupportedSampling},

        // Progressive scans: beginDecoding decodes all of them.
        {"first scan an AC scan of two components",
         progressiveFile(16, 16, pColour, {{{{2, 0, 0}, {3, 0, 0}}, 1, 5, 0, 0, Bytes(8, 0)}}),
         BadSpectralSelection},
        {"DC scan with Se = 5",
         progressiveFile(16, 16, pGrey, {{y, 0, 5, 0, 0, dcScan(y, 4).entropy}}),
         BadSpectralSelection},
        {"AC scan with Ss above Se", acScan(6, 5, 0, 0, BitWriter().symbol(pac, 0)),
         BadSpectralSelection},
        {"AC scan with Se = 64", acScan(1, 64, 0, 0, BitWriter().symbol(pac, 0)),
         BadSpectralSelection},
        {"refinement with Ah = 2 and Al = 0", acScan(1, 63, 2, 0, BitWriter().symbol(pac, 0)),
         BadSuccessiveApproximation},
        {"DC refinement with Ah = 1 and Al = 1",
         progressiveFile(16, 16, pGrey, {dcScan(y, 4), dcScan(y, 4, 1, 1)}),
         BadSuccessiveApproximation},
        {"AC refinement symbol of category 2", acScan(1, 63, 1, 0, BitWriter().symbol(pac, 2)),
         CorruptScan},
        {"AC first run past 63",
         acScan(1, 63, 0, 0,
                BitWriter().ac(pac, 15, 1).ac(pac, 15, 1).ac(pac, 15, 1).ac(pac, 15, 1)),
         CorruptScan},
        {"AC first ZRL past 63", acScan(49, 63, 0, 0, BitWriter().symbol(pac, 0xF0)), CorruptScan},
        {"DC first category 17",
         progressiveFile(16, 16, pGrey, {{y, 0, 0, 0, 0, category17.take()}}), CorruptScan},
        {"progressive scan names a component twice",
         progressiveFile(16, 16, pColour, {dcScan({{1, 0, 0}, {2, 0, 0}, {2, 0, 0}}, 6)}),
         SosBadComponent},
        {"frame header between scans",
         insertBefore(progressiveFile(16, 16, pGrey, {dcScan(y, 4)}), 0xD9,
                      JpegBuilder().sof(0xC0, 16, 16, pGrey).bytes),
         UnexpectedMarker},
        {"AC scan with an undefined AC table",
         progressiveFile(16, 16, pGrey, {dcScan(y, 4), {{{1, 0, 1}}, 1, 63, 0, 0, Bytes(4, 0)}}),
         HuffTableMissing},
        {"restart marker missing in a progressive scan",
         progressiveFile(16, 16, pGrey, {dcScan(y, 4)}, 1), BadRestartMarker},
        {"a component no scan names has no quantisation table",
         progressiveFile(16, 16, unquantised, {dcScan(y, 4)}), QuantTableMissing},
    };
}

} // namespace

TEST(Errors, EveryCodeAFileCanProvokeEndsWithNothingOwned) {
    for (Stage stage : {AtBegin, AtBeginDecoding, AtDecode})
        for (const Case& c : cases(stage))
            for (const JpegDecoderOptions& v : allVariants) {
                SCOPED_TRACE(c.name + " (" + describe(v) + ")");
                expectFailure(decode(c.file, v), c.code, stage);
                EXPECT_NE(jpegErrorName(c.code), nullptr);
            }
}

TEST(Errors, ReadFailuresAreReportedWhereTheyHappen) {
    // The first read: no size is known.
    Decoded first = decode(validGreyFile(), {true, true}, 0);
    expectFailure(first, StreamReadFailed, AtBegin);
    EXPECT_EQ(first.picture.width, 0);
    EXPECT_EQ(first.picture.height, 0);
    // A photograph needs several 4096-byte reads: the third fails while lines are decoded.
    Bytes photo = corpusFile("photo-116");
    for (bool useSimd : {false, true})
        expectFailure(decode(photo, {useSimd, useSimd}, 3), StreamReadFailed, AtDecode);
}

TEST(Errors, EveryRefusedAllocationEndsInOutOfMemoryWithoutLeaks) {
    for (const char* name : {"re-three-scans", "s17x15-2x2"}) {
        Bytes file = corpusFile(name);
        for (bool useSimd : {false, true}) {
            const size_t allocations = decode(file, {useSimd, useSimd}).allocations.size();
            ASSERT_GT(allocations, 5u);
            for (int n = 1; n <= static_cast<int>(allocations); ++n) {
                SCOPED_TRACE(std::string(name) + " allocation " + std::to_string(n));
                Decoded d = decode(file, {useSimd, useSimd}, -1, n);
                expectFailure(d, OutOfMemory, d.errorAfterBegin ? AtBegin : AtBeginDecoding);
            }
        }
    }
}
