// Progressive scans on hand-made files whose every coefficient is known: DC and AC passes, first
// and refinement, end-of-band runs, restarts, values at the 16-bit limits, the largest frames,
// files without EOI and the memory the planes take. Each case runs with both settings of useSimd
// (integer transform, or AAN transform on quantised values; progressive scans always use the
// standard bit reader).
#include "JpegTestSupport.h"

#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

namespace {

const HuffmanCode& dc = testDcTable();
const HuffmanCode& ac = progressiveAcTable();
const std::vector<JpegBuilder::FrameComponent> grey{{1, 1, 1, 0}};
const std::vector<JpegBuilder::ScanComponent> y{{1, 0, 0}};

// EOBr: this block and the next 2^r - 1 + extra blocks end their band here.
BitWriter& eobRun(BitWriter& w, int r, uint32_t extra) {
    w.symbol(ac, static_cast<uint8_t>(r << 4));
    return r > 0 ? w.bits(extra, r) : w;
}

// A refinement symbol: run r, a new coefficient of sign +1 (bit 1) or -1 (bit 0).
BitWriter& newOne(BitWriter& w, int r, bool positive) {
    return w.symbol(ac, static_cast<uint8_t>((r << 4) | 1)).bits(positive ? 1 : 0, 1);
}

// One grey 8 x 8 block per column: coefficients at zig-zag indices.
struct Block {
    std::map<int, int16_t> zigZag;
    int16_t natural[64] = {};
    Block(std::initializer_list<std::pair<const int, int16_t>> values) : zigZag(values) {
        for (auto& kv : zigZag)
            natural[jpegZigZag[kv.first]] = kv.second;
    }
};

void expectBlocks(const Bytes& file, const std::vector<Block>& blocks) {
    for (bool simd : {false, true}) {
        SCOPED_TRACE(simd ? "simd" : "plain");
        Decoded d = decodeBytes(file, simd);
        ASSERT_EQ(d.lastDecodeResult, 1) << jpegErrorName(d.errorCode);
        ASSERT_EQ(d.picture.width, 8 * static_cast<int>(blocks.size()));
        for (size_t b = 0; b < blocks.size(); ++b)
            EXPECT_EQ(blockOf(d.picture, static_cast<int>(b)),
                      expectedBlock(blocks[b].natural, simd))
                << "block " << b;
    }
}

} // namespace

TEST(ProgressiveScans, DcPassesBuildEachDcValueBitByBit) {
    // First pass with Al = 2 (the predictor codes value >> 2), then one bit per pass.
    const int16_t values[4] = {80, -83, 13, 1001};
    BitWriter first, second, third;
    int predictor = 0;
    for (int16_t v : values) {
        first.dc(dc, (v >> 2) - predictor);
        predictor = v >> 2;
        second.bits((v >> 1) & 1, 1);
        third.bits(v & 1, 1);
    }
    Bytes file = progressiveFile(32, 8, grey,
                                 {{y, 0, 0, 0, 2, first.take()},
                                  {y, 0, 0, 2, 1, second.take()},
                                  {y, 0, 0, 1, 0, third.take()}});
    expectBlocks(file, {Block{{0, 80}}, Block{{0, -83}}, Block{{0, 13}}, Block{{0, 1001}}});
}

TEST(ProgressiveScans, AcPassesFillTheirBandsWithRunsEndOfBandRunsAndRefinements) {
    BitWriter dcScan;
    for (int i = 0; i < 4; ++i)
        dcScan.dc(dc, 0);

    // Band 1..5 at Al = 1: block 0 gets 3 at k = 1 and -2 at k = 4; an EOB run of 3 (EOB1 with
    // extra bit 1) leaves blocks 1 to 3 alone.
    BitWriter low;
    low.ac(ac, 0, 3).ac(ac, 2, -2);
    eobRun(low, 0, 0);
    eobRun(low, 1, 1);

    // Band 6..63 at Al = 0: in block 0 ZRL to k = 22, r = 15 to 37, ZRL to 54, r = 9 to 63 (the
    // last coefficient ends the block without EOB); block 1 gets 200 at k = 6 and then an EOB
    // run of 4 that reaches past the end of the scan.
    BitWriter high;
    high.symbol(ac, 0xF0).ac(ac, 15, -3).symbol(ac, 0xF0).ac(ac, 9, -1);
    high.ac(ac, 0, 200);
    eobRun(high, 2, 0);

    // Refinement of band 1..5 (Ah = 1, Al = 0). The run left over from the scan above must not
    // reach into this one, so block 0 starts with a symbol: a new +1 after one zero (the walk
    // corrects 6 at k = 1 with bit 1 to 7 and stops on the zero at k = 2), then EOB, whose run
    // corrects -4 at k = 4 with bit 1 to -5. Block 1 starts an EOB run of 2 (nothing non-zero
    // to correct in blocks 1 and 2); block 3 gets a new -1 after one zero, at k = 2.
    BitWriter refine;
    newOne(refine, 0, true).bits(1, 1);
    eobRun(refine, 0, 0).bits(1, 1);
    eobRun(refine, 1, 0);
    newOne(refine, 1, false);
    eobRun(refine, 0, 0);

    Bytes file = progressiveFile(32, 8, grey,
                                 {{y, 0, 0, 0, 0, dcScan.take()},
                                  {y, 1, 5, 0, 1, low.take()},
                                  {y, 6, 63, 0, 0, high.take()},
                                  {y, 1, 5, 1, 0, refine.take()}});
    expectBlocks(file, {Block{{1, 7}, {2, 1}, {4, -5}, {37, -3}, {63, -1}}, Block{{6, 200}},
                        Block{}, Block{{2, -1}}});
}

TEST(ProgressiveScans, ARefinementWalkThatRunsOutOfTheBandStaysInsideTheBlock) {
    // Both coefficients of band 1..2 are non-zero, so the walk for a new coefficient runs past
    // the band: it lands one past it (k = 3, still in the block) for band 1..2, and nowhere for
    // band 62..63, where k reaches 64.
    BitWriter dcScan, first, firstTail, refine, refineTail;
    dcScan.dc(dc, 0);
    first.ac(ac, 0, 1).ac(ac, 0, -1);
    firstTail.ac(ac, 0, 1).ac(ac, 0, 1);
    newOne(refine, 0, true).bits(0, 1).bits(0, 1);
    newOne(refineTail, 0, false).bits(1, 1).bits(1, 1);
    Bytes file = progressiveFile(8, 8, grey,
                                 {{y, 0, 0, 0, 0, dcScan.take()},
                                  {y, 1, 2, 0, 1, first.take()},
                                  {y, 62, 63, 0, 1, firstTail.take()},
                                  {y, 1, 2, 1, 0, refine.take()},
                                  {y, 62, 63, 1, 0, refineTail.take()}});
    expectBlocks(file, {Block{{1, 2}, {2, -2}, {3, 1}, {62, 3}, {63, 3}}});
}

TEST(ProgressiveScans, RestartsResetPredictorsAndEndEndOfBandRuns) {
    // Restart interval 1: every DC difference of 80 gives 80 only if the predictor starts at 0
    // in each interval; block 0's EOB run of 4 ends at the first restart, so block 1 decodes
    // its own 16 at k = 1.
    auto withMarkers = [](const std::vector<Bytes>& intervals) {
        Bytes out;
        for (size_t i = 0; i < intervals.size(); ++i) {
            if (i > 0) out.insert(out.end(), {0xFF, static_cast<uint8_t>(0xD0 + (i - 1) % 8)});
            out.insert(out.end(), intervals[i].begin(), intervals[i].end());
        }
        return out;
    };
    std::vector<Bytes> dcIntervals, acIntervals;
    for (int i = 0; i < 4; ++i) {
        BitWriter d, a;
        d.dc(dc, 80);
        dcIntervals.push_back(d.take());
        if (i == 0) eobRun(a, 2, 0);
        if (i == 1) eobRun(a.ac(ac, 0, 16), 0, 0);
        if (i >= 2) eobRun(a, 0, 0);
        acIntervals.push_back(a.take());
    }
    Bytes file = progressiveFile(
        32, 8, grey,
        {{y, 0, 0, 0, 0, withMarkers(dcIntervals)}, {y, 1, 63, 0, 0, withMarkers(acIntervals)}}, 1);
    expectBlocks(file, {Block{{0, 80}}, Block{{0, 80}, {1, 16}}, Block{{0, 80}}, Block{{0, 80}}});
}

TEST(ProgressiveScans, ValuesWrapAtSixteenBitsAsThePlanesHoldThem) {
    // -16384 << 1 is -32768; refined with a 1 bit it steps to -32769, which a 16-bit plane holds
    // as 32767. 5000 << 3 = 40000 is held as -25536.
    BitWriter dcScan, first, second, refine;
    dcScan.dc(dc, 0);
    first.ac(ac, 0, -16384);
    second.ac(ac, 0, 5000);
    eobRun(refine, 0, 0).bits(1, 1);
    Bytes file = progressiveFile(8, 8, grey,
                                 {{y, 0, 0, 0, 0, dcScan.take()},
                                  {y, 1, 1, 0, 1, first.take()},
                                  {y, 2, 2, 0, 3, second.take()},
                                  {y, 1, 1, 1, 0, refine.take()}});
    expectBlocks(file, {Block{{1, 32767}, {2, -25536}}});
}

TEST(ProgressiveScans, TheLargestFramesOfEveryLayoutFillTheirPlanesToTheLastBlock) {
    // 8192 pixels across or down, odd on the other side: the scans walk every block of every
    // plane and the rows load them all back, so a plane one block short would fail with
    // TooManyBlocks. DC differences and AC symbols are all code 0 (category 0, EOB): every
    // sample is mid grey.
    const std::pair<int, int> sizes[] = {{8192, 17}, {23, 8192}};
    for (int layout = 0; layout < 5; ++layout) {
        std::vector<JpegBuilder::FrameComponent> frame{{1, 1, 1, 0}};
        std::vector<JpegBuilder::ScanComponent> all{{1, 0, 0}};
        if (layout > 0) {
            frame = {{1, 1 + (layout == 2 || layout == 4), 1 + (layout >= 3), 0},
                     {2, 1, 1, 0},
                     {3, 1, 1, 0}};
            all = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
        }
        for (auto size : sizes) {
            SCOPED_TRACE("layout " + std::to_string(layout) + ", " + std::to_string(size.first) +
                         " x " + std::to_string(size.second));
            Bytes zeros(8192, 0x00);
            std::vector<ProgressiveScan> scans{{all, 0, 0, 0, 0, zeros}};
            for (const auto& component : all)
                scans.push_back({{component}, 1, 63, 0, 0, zeros});
            Bytes file = progressiveFile(size.first, size.second, frame, scans);
            for (bool simd : {false, true}) {
                Decoded d = decodeBytes(file, simd);
                ASSERT_EQ(d.lastDecodeResult, 1) << jpegErrorName(d.errorCode);
                EXPECT_EQ(d.linesDelivered, size.second);
                Bytes expected(static_cast<size_t>(size.first) * size.second, 128);
                if (layout > 0) {
                    expected.clear();
                    for (int i = 0; i < size.first * size.second; ++i)
                        expected.insert(expected.end(), {129, 127, 129});
                }
                EXPECT_TRUE(d.picture.pixels == expected);
            }
        }
    }
}

TEST(ProgressiveFiles, AFileThatEndsWithoutEoiDecodesLikeTheWholeFile) {
    // Once the data are used up the source delivers FF D9 FF D9 ..., which the marker reader
    // takes as EOI.
    for (const char* name : {"photo-124", "s33x47-prog-approximation", "s17x15-prog-grey"}) {
        SCOPED_TRACE(name);
        Bytes whole = readFile(corpusDir() + "/" + name + ".jpg");
        ASSERT_EQ(whole[whole.size() - 2], 0xFF);
        ASSERT_EQ(whole[whole.size() - 1], 0xD9);
        Bytes cut(whole.begin(), whole.end() - 2);
        for (bool simd : {false, true}) {
            Decoded expected = decodeBytes(whole, simd);
            Decoded d = decodeBytes(cut, simd);
            ASSERT_EQ(d.lastDecodeResult, 1) << jpegErrorName(d.errorCode);
            EXPECT_TRUE(d.picture.pixels == expected.picture.pixels);
            EXPECT_EQ(d.bytesConsumed, static_cast<long>(cut.size()));
        }
    }
}

namespace {

// Records every block and the most bytes held at once.
class MeasuringHeap : public JpegHeap {
public:
    void* allocateZeroed(size_t bytes) override {
        void* block = std::calloc(1, bytes);
        sizes[block] = bytes;
        held += bytes;
        peak = std::max(peak, held);
        all.push_back(bytes);
        return block;
    }
    void release(void* block) override {
        held -= sizes[block];
        sizes.erase(block);
        std::free(block);
    }
    std::map<void*, size_t> sizes;
    std::vector<size_t> all;
    size_t held = 0;
    size_t peak = 0;
};

} // namespace

TEST(ProgressiveFiles, PlanesTake130BytesPerBlockAndNothingIsAllocatedAfterBeginDecoding) {
    // 124.jpg: 1024 x 740, 2 x 2 luma sampling: 64 x 47 MCUs, 12032 luma and 3008 blocks of
    // each chroma component; each block 2 bytes of DC plane and 128 of AC plane (plus the
    // allocation table's 8 bytes of alignment per block of memory).
    Bytes file = readFile(corpusDir() + "/photo-124.jpg");
    for (bool simd : {false, true}) {
        MeasuringHeap heap;
        MemoryInputStream stream(file.data(), file.size());
        JpegDecoderOptions options;
        options.simdTransform = options.simdBitReader = simd;
        options.heap = &heap;
        JpegDecoder decoder;
        decoder.begin(&stream, options);
        ASSERT_EQ(decoder.beginDecoding(), 0);
        size_t allocations = heap.all.size();
        const uint8_t* line;
        int length;
        while (decoder.decode(line, length) == 0) {}
        EXPECT_EQ(heap.all.size(), allocations) << "allocations while lines were delivered";
        decoder.releaseAll();
        EXPECT_EQ(heap.held, 0u);

        std::multiset<size_t> sizes(heap.all.begin(), heap.all.end());
        EXPECT_EQ(sizes.count(12032 * 2 + 8), 1u);
        EXPECT_EQ(sizes.count(12032 * 128 + 8), 1u);
        EXPECT_EQ(sizes.count(3008 * 2 + 8), 2u);
        EXPECT_EQ(sizes.count(3008 * 128 + 8), 2u);
        size_t planeBytes = 18048 * 130;
        // Beside the planes: the MCU-row buffers (74 KB), four Huffman decode tables (32 KB),
        // the two lines, the quantisation and code tables.
        EXPECT_LT(heap.peak, planeBytes + 128 * 1024);
        std::printf("peak heap decoding photo-124 (%s): %zu bytes, %zu of them planes\n",
                    simd ? "simd" : "plain", heap.peak, planeBytes);
    }
}
