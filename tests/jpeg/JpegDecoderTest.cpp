// Hand-made files whose every coefficient is known, for what no cjpeg file reaches (what cjpeg
// writes is checked in JpegCorpusTest.cpp): the marker structure, DC categories up to 16, runs to
// the last coefficient, restarts with fill bytes, end-of-band runs that must end with their scan
// or restart interval, refinements, values at the 16-bit limits; and every error code a file can
// provoke, in every variant, after which the decoder owns nothing and has detached its stream
// exactly once (decode checks both, and how every public call behaves in every state).
#include "JpegTestSupport.h"

#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <numeric>
#include <stdexcept>

namespace {

using namespace jpegfile;

// Coefficients of a block with quantisation table all ones: {zig-zag index, value}.
using Block = std::vector<std::pair<int, int>>;

// Expects the integer transform with either bit reader (the standard one only for progressive
// files) to decode the whole file, all of it consumed, into these blocks of a grey picture one
// block high: their samples as the integer transform computes them.
void expectBlocks(const Bytes& file, const std::vector<Block>& blocks) {
    const size_t n = blocks.size();
    Bytes pixels(64 * n);
    for (size_t b = 0; b < n; ++b) {
        int16_t coefficients[64] = {};
        for (const auto& c : blocks[b])
            coefficients[jpegZigZag[c.first]] = static_cast<int16_t>(c.second);
        uint8_t samples[64];
        jpegIdctInteger(coefficients, samples);
        for (size_t r = 0; r < 8; ++r)
            std::copy_n(&samples[8 * r], 8, &pixels[(r * n + b) * 8]);
    }
    for (bool packedReader : {false, true}) {
        const DecoderRun d = decode(file, {false, packedReader});
        if (d.progressive && packedReader) continue; // progressive scans take the standard one
        SCOPED_TRACE(packedReader ? "packed reader" : "standard reader");
        ASSERT_TRUE(d.complete()) << jpegErrorName(d.errorCode);
        EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
        auto at = std::mismatch(d.pixels.begin(), d.pixels.end(), pixels.begin(), pixels.end());
        EXPECT_TRUE(at.first == d.pixels.end() && at.second == pixels.end())
            << "first difference at " << at.first - d.pixels.begin();
    }
}

// A valid 32 x 8 grey file of four blocks (DC 0, 8, 24, 48; 3 at k = 1), the base of the crafted
// defects.
Bytes validGreyFile() {
    BitWriter w;
    for (int i = 0; i < 4; ++i)
        w.dc(8 * i).ac(0, 3).ac(0, 0);
    return greyFile(32, 8, w.take());
}

// A grey row of blocks with restart interval 1, each block a DC difference of 80 (level 138 only
// where the predictor is reset at every restart), and after block i RST(i % 8) unless markers
// gives other bytes there.
Bytes restartFile(int blocks, const std::map<int, Bytes>& markers = {}) {
    Bytes entropy;
    for (int i = 0; i < blocks; ++i) {
        const Bytes next = i + 1 == blocks    ? Bytes()
                           : markers.count(i) ? markers.at(i)
                                              : u8({0xFF, 0xD0 + i % 8});
        entropy = join({entropy, BitWriter().dc(80).ac(0, 0).take(), next});
    }
    return greyFile(8 * blocks, 8, entropy, 1);
}

// Where the first marker with this code starts.
long findMarker(const Bytes& file, int marker) {
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == marker) return static_cast<long>(i);
    throw std::logic_error("marker not found");
}

// Replaces the payload of the first segment with this marker.
Bytes withSegment(const Bytes& file, int marker, const Bytes& payload) {
    const long at = findMarker(file, marker), length = file[at + 2] << 8 | file[at + 3];
    return join({Bytes(file.begin(), file.begin() + at), segment(marker, payload),
                 Bytes(file.begin() + at + 2 + length, file.end())});
}

// Inserts bytes in front of the first marker with this code.
Bytes insertBefore(const Bytes& file, int marker, const Bytes& bytes) {
    Bytes out(file);
    out.insert(out.begin() + findMarker(file, marker), bytes.begin(), bytes.end());
    return out;
}

} // namespace

static const int ZRL = 0xF0;
static const Frame grey{{1, 1, 1, 0}};
static const std::vector<ScanComponent> y{{1, 0, 0}};

// EOBr: this block and the next 2^r - 1 + extra blocks end their band here.
static BitWriter& eobRun(BitWriter& w, int r, uint32_t extra) {
    return w.symbol(acTable, r << 4).bits(extra, r);
}

// A refinement symbol: run r, a new coefficient of sign +1 (bit 1) or -1 (bit 0).
static BitWriter& newOne(BitWriter& w, int r, bool positive) {
    return w.symbol(acTable, (r << 4) | 1).bits(positive ? 1 : 0, 1);
}

// A progressive scan of the grey component.
static ScanData scan(int start, int end, int high, int low, BitWriter& bits) {
    return {y, start, end, high, low, bits.take()};
}

// A first DC scan of n blocks whose differences are all 0.
static ScanData zeroDc(int blocks) {
    BitWriter w;
    for (int i = 0; i < blocks; ++i)
        w.dc(0);
    return scan(0, 0, 0, 0, w);
}

TEST(Markers, SegmentsStrayBytesTheStartOfImageSearchAndWhatFollowsTheLastRow) {
    const Bytes base = validGreyFile();
    const std::vector<Block> blocks{
        {{0, 0}, {1, 3}}, {{0, 8}, {1, 3}}, {{0, 24}, {1, 3}}, {{0, 48}, {1, 3}}};
    // APP1, COM, APP15 without data, stray bytes, FF 00 and fill bytes between segments.
    const Bytes segments = join({segment(0xE1, {'E', 'x', 'i', 'f'}), segment(0xFE, {'h', 'i'}),
                                 segment(0xEF, {}), u8({0x12, 0x34, 0xFF, 0, 0xFF, 0xFF, 0xFF})});
    expectBlocks(insertBefore(base, 0xDB, segments), blocks);
    expectBlocks(insertBefore(base, 0xDA, {0xFF, 0xFE, 0, 2, 0xFF, 0xFF}), blocks);
    // SOI within the first 513 bytes (after 511 bytes of garbage, D8 is byte 513), followed by a
    // marker when found late.
    for (int garbage : {5, 511, 512})
        EXPECT_EQ(decode(join({Bytes(garbage, 0x20), base})).errorCode,
                  garbage < 512 ? 0 : NoStartOfImage);
    EXPECT_EQ(
        decode(join({u8({0x20, 0xFF, 0xD8, 0}), Bytes(base.begin() + 2, base.end())})).errorCode,
        NoStartOfImage);
    // What follows the last row (a stray marker, damage, a table) ends the picture without taking
    // rows away or allocating; nothing after EOI is consumed.
    for (const Bytes& junk :
         {u8({0xFF, 0xD0}), u8({0xFF, 0xC8}), u8({0xFF, 0xE0, 0, 1}), dht(0, 1, dcTable)}) {
        DecoderRun d = decode(insertBefore(base, 0xD9, junk));
        EXPECT_TRUE(d.complete() && d.pixels == decode(base).pixels);
    }
    for (const JpegDecoderOptions& v : allVariants)
        EXPECT_EQ(decode(join({base, u8({0, 0x11})}), v).bytesConsumed, long(base.size()));
}

TEST(Markers, RedefinedTablesReuseTheirBlocksAndTheLaterDefinitionHolds) {
    // Every table defined again before the scan, quantisation table 0 as all twos: the DC of 8
    // doubles, and no block more is taken.
    Bytes once = greyFile(8, 8, BitWriter().dc(8).ac(0, 0).take());
    Bytes twice = insertBefore(
        once, 0xDA, join({dqt(0, 1), dht(0, 0, dcTable), dht(1, 0, acTable), dqt(0, 2)}));
    EXPECT_EQ(decode(twice).allocations, decode(once).allocations);
    expectBlocks(twice, {{{0, 16}}});
}

TEST(Entropy, DcCategoriesUpToSixteenAndRunsToTheLastCoefficient) {
    // Categories 11, 12, 16 and 15 (12 to 16 never occur in conforming 8-bit data, but are read
    // as written): the predictor reaches 32768, which a 16-bit coefficient holds as -32768;
    // then 80, 80, -80 and saturation.
    BitWriter w;
    w.dc(2047).ac(0, 0).dc(-4094).ac(0, 0).symbol(dcTable, 16).bits(0x8000 + 2047, 16).ac(0, 0);
    for (int diff : {80 - 32768, 0, -160, 2000})
        w.dc(diff).ac(0, 0);
    // 0xE1 at k = 1 stores at 15; two ZRLs bring k to 48; ZRL there fills 48..63 and ends the
    // block, or r = 15 stores at 63. (From k = 49 both are corrupt: see the error cases.)
    w.dc(-1920).ac(14, 1).symbol(acTable, ZRL).symbol(acTable, ZRL).symbol(acTable, ZRL);
    w.dc(0).ac(14, 1).symbol(acTable, ZRL).symbol(acTable, ZRL).ac(15, -1);
    std::vector<Block> blocks;
    for (int dc : {2047, -2047, -32768, 80, 80, -80, 1920})
        blocks.push_back({{0, dc}});
    blocks.insert(blocks.end(), {{{15, 1}}, {{15, 1}, {63, -1}}});
    expectBlocks(greyFile(72, 8, w.take()), blocks);
}

TEST(Restarts, NumbersWrapFromSevenToZeroFillBytesAreSkippedAndPredictorsReset) {
    // (A marker out of sequence or missing is among the error cases.)
    expectBlocks(restartFile(10, {{0, {0xFF, 0xFF, 0xFF, 0xD0}}, {2, {0xFF, 0xFF, 0xD2}}}),
                 std::vector<Block>(10, {{0, 80}}));
}

TEST(ProgressiveScans, AcPassesFillTheirBandsWithRunsEndOfBandRunsAndRefinements) {
    // Band 1..5 at Al = 1: block 0 gets 3 at k = 1 and -2 at k = 4; an EOB run of 3 (EOB1 with
    // extra bit 1) leaves blocks 1 to 3 alone.
    BitWriter low, high, refine;
    eobRun(eobRun(low.ac(0, 3).ac(2, -2), 0, 0), 1, 1);
    // Band 6..63 at Al = 0: in block 0 ZRL to k = 22, r = 15 to 37, ZRL to 54, r = 9 to 63 (the
    // last coefficient ends the block without EOB); block 1 gets 200 at k = 6 and then an EOB
    // run of 4 that reaches past the end of the scan.
    high.symbol(acTable, ZRL).ac(15, -3).symbol(acTable, ZRL).ac(9, -1).ac(0, 200);
    eobRun(high, 2, 0);
    // Refinement of band 1..5 (Ah = 1, Al = 0). The run left over from the scan above must not
    // reach into this one, so block 0 starts with a symbol: a new +1 after one zero (the walk
    // corrects 6 at k = 1 with bit 1 to 7 and stops on the zero at k = 2), then EOB, whose run
    // corrects -4 at k = 4 with bit 1 to -5. Block 1 starts an EOB run of 2 (nothing non-zero
    // to correct in blocks 1 and 2); block 3 gets a new -1 after one zero, at k = 2.
    newOne(refine, 0, true).bits(1, 1);
    eobRun(refine, 0, 0).bits(1, 1);
    eobRun(newOne(eobRun(refine, 1, 0), 1, false), 0, 0);
    expectBlocks(jpegFile(0xC2, 32, 8, grey,
                          {zeroDc(4), scan(1, 5, 0, 1, low), scan(6, 63, 0, 0, high),
                           scan(1, 5, 1, 0, refine)}),
                 {{{1, 7}, {2, 1}, {4, -5}, {37, -3}, {63, -1}}, {{6, 200}}, {}, {{2, -1}}});
}

TEST(ProgressiveScans, ValuesAtTheSixteenBitLimitsAndRestartsEndingEndOfBandRuns) {
    BitWriter first, second, refine;
    // -16384 << 1 is -32768; refined with a 1 bit it steps to -32769, which a 16-bit plane holds
    // as 32767. 5000 << 3 = 40000 is held as -25536.
    first.ac(0, -16384);
    second.ac(0, 5000);
    eobRun(refine, 0, 0).bits(1, 1);
    expectBlocks(jpegFile(0xC2, 8, 8, grey,
                          {zeroDc(1), scan(1, 1, 0, 1, first), scan(2, 2, 0, 3, second),
                           scan(1, 1, 1, 0, refine)}),
                 {{{1, 32767}, {2, -25536}}});
    // Restart interval 1: every DC difference of 80 gives 80 only if the predictor starts at 0
    // in each interval; block 0's EOB run of 4 ends at the first restart, so block 1 decodes
    // its own 16 at k = 1.
    Bytes dcScan, acScan;
    for (int i = 0; i < 4; ++i) {
        BitWriter d, a;
        eobRun(i == 1 ? a.ac(0, 16) : a, i == 0 ? 2 : 0, 0);
        const Bytes marker = i > 0 ? u8({0xFF, 0xD0 + i - 1}) : Bytes();
        dcScan = join({dcScan, marker, d.dc(80).take()});
        acScan = join({acScan, marker, a.take()});
    }
    expectBlocks(
        jpegFile(0xC2, 32, 8, grey, {{y, 0, 0, 0, 0, dcScan}, {y, 1, 63, 0, 0, acScan}}, 1),
        {{{0, 80}}, {{0, 80}, {1, 16}}, {{0, 80}}, {{0, 80}}});
}

TEST(ProgressiveFiles, PlanesTake130BytesPerBlock) {
    // 124.jpg: 1024 x 740 at 2 x 2: 12032 luma and 2 x 3008 chroma blocks, each 2 bytes of DC
    // plane and 128 of AC plane; beside them the MCU-row buffers (74 KB), four Huffman decode
    // tables (32 KB), the lines and small tables.
    const DecoderRun d = decode(corpusFile("photo-124"));
    const size_t total = std::accumulate(d.allocations.begin(), d.allocations.end(), size_t(0));
    EXPECT_TRUE(d.complete() && total > 18048 * 130 && total < 18048 * 130 + 128 * 1024) << total;
}

// The call that reports the error.
enum Stage { AtBegin, AtBeginDecoding, AtDecode };

static void expectFailure(const DecoderRun& d, int code, int stage) {
    EXPECT_EQ(d.errorCode, code) << jpegErrorName(d.errorCode);
    EXPECT_EQ(d.errorAfterBegin, stage == AtBegin ? code : 0);
    EXPECT_EQ(d.beginDecodingResult, stage == AtDecode ? 0 : -1);
}

TEST(Errors, EveryCodeAFileCanProvokeEndsWithNothingOwned) {
    const Bytes base = validGreyFile();
    auto seg = [&](int marker, const Bytes& payload) { return withSegment(base, marker, payload); };
    auto before = [&](int marker, const Bytes& bytes) { return insertBefore(base, marker, bytes); };
    auto frameOf = [&](int precision, int height, int width, int count) {
        Bytes p = u8({precision, height >> 8, height, width >> 8, width, count});
        for (int i = 0; i < count; ++i)
            p = join({p, u8({i + 1, 0x11, 0})});
        return seg(0xC0, p);
    };
    // 16 x 16 pixels: one grey component, or three with 2 x 2 luma.
    const Frame colour{{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    auto sequential = [](int marker, const Frame& frame, const std::vector<ScanComponent>& scan) {
        return jpegFile(marker, 16, 16, frame, {{scan, 0, 63, 0, 0, Bytes(40, 0)}});
    };
    const ScanData dcScan{y, 0, 0, 0, 0, BitWriter().dc(0).dc(0).dc(0).dc(0).take()};
    // The DC scan of the 4 grey blocks, then one AC scan with these bits.
    auto acScan = [&](int start, int end, int high, int low, BitWriter bits) {
        return jpegFile(0xC2, 16, 16, grey, {dcScan, {y, start, end, high, low, bits.take()}});
    };
    BitWriter to49; // three runs of 15 bring k to 49, where r = 15 stores at 64 and ZRL runs to 65
    to49.dc(0).ac(15, 1).ac(15, 1).ac(15, 1);
    const Bytes runs = BitWriter(to49).ac(15, 1).take();
    const Bytes zrls = BitWriter(to49).symbol(acTable, ZRL).take();
    Frame unquantised = colour;
    unquantised[2].QuantTable = 1;
    // The crafted files and the codes they provoke, by the call that reports them.
    const std::vector<std::pair<Bytes, int>> cases[3] = {
        {
            {seg(0xC4, join({Bytes(15, 0), u8({100, 156})})), DhtCountsTooLarge}, // 256 codes
            {seg(0xC4, join({u8({0x10, 1, 2, 1}), Bytes(13, 0), u8({0, 1, 2, 3})})),
             DhtCountsTooLarge},                                              // code space
            {seg(0xC4, join({u8({0x14, 0, 1}), Bytes(15, 0)})), DhtBadIndex}, // slot 8
            {before(0xDB, {0xFF, 0xC4, 0, 1}), DhtBadLength},                 // length 1
            {before(0xDB, {0xFF, 0xDB, 0, 1}), DqtBadLength},                 // length 1
            {seg(0xDB, Bytes(65, 4)), DqtBadIndex},                           // id 4
            {seg(0xDB, Bytes(64, 0)), DqtTruncated},                          // 63 values
            {frameOf(12, 16, 16, 1), BadPrecision},
            {frameOf(8, 0, 16, 1), BadHeight},
            {frameOf(8, 8193, 16, 1), BadHeight},
            {frameOf(8, 16, 0, 1), BadWidth},
            {frameOf(8, 16, 8193, 1), BadWidth},
            {frameOf(8, 16, 16, 5), TooManyComponents},
            {seg(0xC0, {8, 0, 16, 0, 16, 1, 1, 0x11, 0, 0}), SofBadLength},
            {before(0xDB, {0xFF, 0xE0, 0, 1}), MarkerBadLength}, // APP0 length 1
            {before(0xDB, {0xFF, 0xDD, 0, 5, 0, 1, 0}), DriBadLength},
            {sequential(0xC9, grey, y), ArithmeticCoding}, // SOF9
            {Bytes(), NoStartOfImage},
            {sequential(0xC3, grey, y), UnsupportedFrame}, // lossless
        },
        {
            {seg(0xDA, {0, 0, 63, 0}), SosBadLength},          // no component
            {seg(0xDA, {1, 9, 0, 0, 63, 0}), SosBadComponent}, // absent id
            {sequential(0xC0, colour, {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}}), SosBadComponent},
            {before(0xDA, {0xFF, 0xD9}), UnexpectedMarker},                   // EOI before SOS
            {seg(0xC0, {8, 0, 16, 0, 16, 1, 1, 0x11, 1}), QuantTableMissing}, // undefined
            {seg(0xC0, {8, 0, 16, 0, 16, 1, 1, 0x11, 4}), QuantTableMissing}, // number 4
            {seg(0xDA, {1, 1, 0x10, 0, 63, 0}), HuffTableMissing},            // undefined DC
            {seg(0xDA, {1, 1, 0x40, 0, 63, 0}), HuffTableMissing},            // DC selector 4
            {seg(0xDA, {1, 1, 0x04, 0, 63, 0}), HuffTableMissing},            // AC selector 4
            {sequential(0xC0, {{1, 1, 1, 0}, {2, 1, 1, 0}}, y), UnsupportedComponents},
            {sequential(0xC0, {{1, 2, 2, 0}, {2, 2, 1, 0}, {3, 1, 1, 0}}, y), UnsupportedSampling},
            {sequential(0xC0, {{1, 3, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, y), UnsupportedSampling},
            // A run past 63 in a scan of luma alone, decoded into the planes.
            {jpegFile(0xC0, 16, 16, colour, {{y, 0, 63, 0, 0, runs}}), CorruptScan},
            // Progressive scans (beginDecoding decodes them all): an AC scan of two components,
            // a DC scan with Se = 5, Se = 64, a refinement of two bits, a refinement symbol of
            // category 2, runs and ZRL past 63, DC category 17, a frame header between scans, an
            // undefined AC table, and a component no scan names without a quantisation table.
            {jpegFile(0xC2, 16, 16, colour, {{{{2, 0, 0}, {3, 0, 0}}, 1, 5, 0, 0, Bytes(8, 0)}}),
             BadSpectralSelection},
            {jpegFile(0xC2, 16, 16, grey, {{y, 0, 5, 0, 0, dcScan.Entropy}}), BadSpectralSelection},
            {acScan(1, 64, 0, 0, BitWriter().ac(0, 0)), BadSpectralSelection},
            {acScan(1, 63, 2, 0, BitWriter().ac(0, 0)), BadSuccessiveApproximation},
            {acScan(1, 63, 1, 0, BitWriter().ac(0, 2)), CorruptScan},
            {acScan(1, 63, 0, 0, BitWriter().ac(15, 1).ac(15, 1).ac(15, 1).ac(15, 1)), CorruptScan},
            {acScan(49, 63, 0, 0, BitWriter().symbol(acTable, ZRL)), CorruptScan},
            {jpegFile(0xC2, 16, 16, grey,
                      {{y, 0, 0, 0, 0, BitWriter().symbol(dcTable, 17).take()}}),
             CorruptScan},
            {insertBefore(jpegFile(0xC2, 16, 16, grey, {dcScan}), 0xD9, sof(0xC0, 16, 16, grey)),
             UnexpectedMarker},
            {jpegFile(0xC2, 16, 16, grey, {dcScan, {{{1, 0, 1}}, 1, 63, 0, 0, Bytes(4, 0)}}),
             HuffTableMissing},
            {jpegFile(0xC2, 16, 16, unquantised, {dcScan}), QuantTableMissing},
        },
        {
            {greyFile(8, 8, runs), CorruptScan},
            {greyFile(8, 8, zrls), CorruptScan},
            {greyFile(8, 8, BitWriter().symbol(dcTable, 17).bits(0, 17).take()), CorruptScan},
            {restartFile(4, {{2, {0xFF, 0xD3}}}), BadRestartMarker}, // RST3 for RST2
            // No marker within 1536 bytes.
            {restartFile(4, {{1, join({Bytes(1600, 0x55), u8({0xFF, 0xD1})})}}), BadRestartMarker},
        }};
    for (int stage : {AtBegin, AtBeginDecoding, AtDecode})
        for (size_t i = 0; i < cases[stage].size(); ++i)
            for (const JpegDecoderOptions& v : allVariants) {
                SCOPED_TRACE("stage " + std::to_string(stage) + ", case " + std::to_string(i) +
                             ", variant " + std::to_string(&v - allVariants));
                expectFailure(decode(cases[stage][i].first, v), cases[stage][i].second, stage);
            }
}

TEST(Errors, ReadFailuresAndRefusedAllocationsAreReportedWhereTheyHappen) {
    // The first read: no size is known.
    const DecoderRun first = decode(validGreyFile(), {true, true}, 0);
    expectFailure(first, StreamReadFailed, AtBegin);
    EXPECT_EQ(first.width + first.height, 0);
    // A photograph needs several 4096-byte reads: the third fails while lines are decoded.
    for (bool simd : {false, true})
        expectFailure(decode(corpusFile("photo-116"), {simd, simd}, 3), StreamReadFailed, AtDecode);
    // Every allocation refused in turn, in a non-interleaved file and a small 2 x 2 one.
    for (const char* name : {"re-three-scans", "s17x15-2x2"})
        for (bool simd : {false, true}) {
            const Bytes file = corpusFile(name);
            const int allocations = static_cast<int>(decode(file, {simd, simd}).allocations.size());
            ASSERT_GT(allocations, 5);
            for (int n = 1; n <= allocations; ++n) {
                SCOPED_TRACE(std::string(name) + " allocation " + std::to_string(n));
                const DecoderRun d = decode(file, {simd, simd}, -1, n);
                expectFailure(d, OutOfMemory, d.errorAfterBegin ? AtBegin : AtBeginDecoding);
            }
        }
}

// A stream over a file that counts its detaches, and a heap that counts the blocks it holds.
struct CountedStream : MemoryInputStream {
    explicit CountedStream(const Bytes& file) : MemoryInputStream(file.data(), file.size()) {}
    void detach() override { ++Detaches; }
    int Detaches = 0;
};
struct CountedHeap : JpegHeap {
    void* allocateZeroed(size_t bytes) override { return ++Held, std::calloc(1, bytes); }
    void release(void* block) override { --Held, std::free(block); }
    int Held = 0;
};

TEST(Lifetime, BeginAgainReleasesTheFirstPictureAndADecoderThatGoesFreesItsBlocks) {
    const Bytes first = corpusFile("photo-116"), second = validGreyFile();
    CountedHeap heap;
    CountedStream one(first), two(second);
    JpegDecoderOptions options{true, true, &heap};
    {
        JpegDecoder decoder;
        decoder.begin(&one, options);
        const uint8_t* line;
        int length;
        ASSERT_TRUE(decoder.beginDecoding() == 0 && decoder.decode(line, length) == 0);
        const int firstBlocks = heap.Held;
        // Begun on another picture halfway through: the first stream is detached and its
        // blocks are freed; only the second picture's tables remain.
        decoder.begin(&two, options);
        EXPECT_EQ(one.Detaches, 1);
        EXPECT_TRUE(heap.Held == decoder.allocatedBlocks() && heap.Held < firstBlocks)
            << heap.Held << " of " << firstBlocks;
        ASSERT_EQ(decoder.beginDecoding(), 0);
        EXPECT_EQ(decoder.width(), 32);
    }
    // Gone without releaseAll: no block stays, and the stream is left alone (it may be gone too).
    EXPECT_EQ(heap.Held, 0);
    EXPECT_EQ(two.Detaches, 0);
}
