// Progressive scans on hand-made files whose every coefficient is known: DC and AC passes, first
// and refinement, end-of-band runs, restarts, values at the 16-bit limits, the largest frames;
// and the memory the planes take.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

const HuffmanCode& dc = testDcTable();
const HuffmanCode& ac = progressiveAcTable();
const Frame grey{{1, 1, 1, 0}};
const Scan y{{1, 0, 0}};

// EOBr: this block and the next 2^r - 1 + extra blocks end their band here.
BitWriter& eobRun(BitWriter& w, int r, uint32_t extra) {
    return w.symbol(ac, r << 4).bits(extra, r);
}

// A refinement symbol: run r, a new coefficient of sign +1 (bit 1) or -1 (bit 0).
BitWriter& newOne(BitWriter& w, int r, bool positive) {
    return w.symbol(ac, (r << 4) | 1).bits(positive ? 1 : 0, 1);
}

// A scan of the grey component: coefficients start..end, approximation high and low.
ProgressiveScan scan(int start, int end, int high, int low, BitWriter& bits) {
    return {y, start, end, high, low, bits.take()};
}

// A first DC scan of n blocks whose differences are all 0.
ProgressiveScan zeroDc(int blocks) {
    BitWriter w;
    for (int i = 0; i < blocks; ++i)
        w.dc(dc, 0);
    return scan(0, 0, 0, 0, w);
}

} // namespace

TEST(ProgressiveScans, DcPassesBuildEachDcValueBitByBit) {
    // First pass with Al = 2 (the predictor codes value >> 2), then one bit per pass.
    BitWriter first, second, third;
    int predictor = 0;
    for (int v : {80, -83, 13, 1001}) {
        first.dc(dc, (v >> 2) - predictor);
        predictor = v >> 2;
        second.bits((v >> 1) & 1, 1);
        third.bits(v & 1, 1);
    }
    Bytes file = progressiveFile(
        32, 8, grey, {scan(0, 0, 0, 2, first), scan(0, 0, 2, 1, second), scan(0, 0, 1, 0, third)});
    expectBlocks(file, {{{0, 80}}, {{0, -83}}, {{0, 13}}, {{0, 1001}}});
}

TEST(ProgressiveScans, AcPassesFillTheirBandsWithRunsEndOfBandRunsAndRefinements) {
    // Band 1..5 at Al = 1: block 0 gets 3 at k = 1 and -2 at k = 4; an EOB run of 3 (EOB1 with
    // extra bit 1) leaves blocks 1 to 3 alone.
    BitWriter low;
    eobRun(eobRun(low.ac(ac, 0, 3).ac(ac, 2, -2), 0, 0), 1, 1);

    // Band 6..63 at Al = 0: in block 0 ZRL to k = 22, r = 15 to 37, ZRL to 54, r = 9 to 63 (the
    // last coefficient ends the block without EOB); block 1 gets 200 at k = 6 and then an EOB
    // run of 4 that reaches past the end of the scan.
    BitWriter high;
    high.symbol(ac, 0xF0).ac(ac, 15, -3).symbol(ac, 0xF0).ac(ac, 9, -1).ac(ac, 0, 200);
    eobRun(high, 2, 0);

    // Refinement of band 1..5 (Ah = 1, Al = 0). The run left over from the scan above must not
    // reach into this one, so block 0 starts with a symbol: a new +1 after one zero (the walk
    // corrects 6 at k = 1 with bit 1 to 7 and stops on the zero at k = 2), then EOB, whose run
    // corrects -4 at k = 4 with bit 1 to -5. Block 1 starts an EOB run of 2 (nothing non-zero
    // to correct in blocks 1 and 2); block 3 gets a new -1 after one zero, at k = 2.
    BitWriter refine;
    newOne(refine, 0, true).bits(1, 1);
    eobRun(refine, 0, 0).bits(1, 1);
    eobRun(newOne(eobRun(refine, 1, 0), 1, false), 0, 0);

    Bytes file = progressiveFile(
        32, 8, grey,
        {zeroDc(4), scan(1, 5, 0, 1, low), scan(6, 63, 0, 0, high), scan(1, 5, 1, 0, refine)});
    expectBlocks(file, {{{1, 7}, {2, 1}, {4, -5}, {37, -3}, {63, -1}}, {{6, 200}}, {}, {{2, -1}}});
}

TEST(ProgressiveScans, ARefinementWalkThatRunsOutOfTheBandStaysInsideTheBlock) {
    // Both coefficients of band 1..2 are non-zero, so the walk for a new coefficient runs past
    // the band: it lands one past it (k = 3, still in the block) for band 1..2, and nowhere for
    // band 62..63, where k reaches 64.
    BitWriter first, firstTail, refine, refineTail;
    first.ac(ac, 0, 1).ac(ac, 0, -1);
    firstTail.ac(ac, 0, 1).ac(ac, 0, 1);
    newOne(refine, 0, true).bits(0, 2);
    newOne(refineTail, 0, false).bits(3, 2);
    Bytes file = progressiveFile(8, 8, grey,
                                 {zeroDc(1), scan(1, 2, 0, 1, first), scan(62, 63, 0, 1, firstTail),
                                  scan(1, 2, 1, 0, refine), scan(62, 63, 1, 0, refineTail)});
    expectBlocks(file, {{{1, 2}, {2, -2}, {3, 1}, {62, 3}, {63, 3}}});
}

TEST(ProgressiveScans, RestartsResetPredictorsAndEndEndOfBandRuns) {
    // Restart interval 1: every DC difference of 80 gives 80 only if the predictor starts at 0
    // in each interval; block 0's EOB run of 4 ends at the first restart, so block 1 decodes
    // its own 16 at k = 1.
    Bytes dcScan, acScan;
    for (int i = 0; i < 4; ++i) {
        BitWriter d, a;
        d.dc(dc, 80);
        eobRun(i == 1 ? a.ac(ac, 0, 16) : a, i == 0 ? 2 : 0, 0);
        for (auto* scan : {&dcScan, &acScan}) {
            if (i > 0) scan->insert(scan->end(), {0xFF, static_cast<uint8_t>(0xD0 + i - 1)});
            Bytes interval = (scan == &dcScan ? d : a).take();
            scan->insert(scan->end(), interval.begin(), interval.end());
        }
    }
    Bytes file =
        progressiveFile(32, 8, grey, {{y, 0, 0, 0, 0, dcScan}, {y, 1, 63, 0, 0, acScan}}, 1);
    expectBlocks(file, {{{0, 80}}, {{0, 80}, {1, 16}}, {{0, 80}}, {{0, 80}}});
}

TEST(ProgressiveScans, ValuesWrapAtSixteenBitsAsThePlanesHoldThem) {
    // -16384 << 1 is -32768; refined with a 1 bit it steps to -32769, which a 16-bit plane holds
    // as 32767. 5000 << 3 = 40000 is held as -25536.
    BitWriter first, second, refine;
    first.ac(ac, 0, -16384);
    second.ac(ac, 0, 5000);
    eobRun(refine, 0, 0).bits(1, 1);
    Bytes file = progressiveFile(
        8, 8, grey,
        {zeroDc(1), scan(1, 1, 0, 1, first), scan(2, 2, 0, 3, second), scan(1, 1, 1, 0, refine)});
    expectBlocks(file, {{{1, 32767}, {2, -25536}}});
}

TEST(ProgressiveScans, TheLargestFramesOfEveryLayoutFillTheirPlanesToTheLastBlock) {
    // 8192 pixels across or down, odd on the other side: the scans walk every block of every
    // plane and the rows load them all back, so a plane one block short would fail with
    // TooManyBlocks. DC differences and AC symbols are all code 0 (category 0, EOB): every
    // sample is mid grey.
    for (int layout = 0; layout < 5; ++layout) {
        Frame frame{{1, 1 + (layout == 2 || layout == 4), 1 + (layout >= 3), 0}};
        if (layout > 0) frame.insert(frame.end(), {{2, 1, 1, 0}, {3, 1, 1, 0}});
        std::vector<ProgressiveScan> scans{{{}, 0, 0, 0, 0, Bytes(8192, 0)}};
        for (const auto& component : frame) {
            scans[0].components.push_back({component.id, 0, 0});
            scans.push_back({{{component.id, 0, 0}}, 1, 63, 0, 0, Bytes(8192, 0)});
        }
        const Bytes pixel = layout > 0 ? Bytes{129, 127, 129} : Bytes{128};
        for (auto size : {std::make_pair(8192, 17), std::make_pair(23, 8192)}) {
            SCOPED_TRACE("layout " + std::to_string(layout) + ", " + std::to_string(size.first) +
                         " x " + std::to_string(size.second));
            Bytes expected;
            for (int i = 0; i < size.first * size.second; ++i)
                expected.insert(expected.end(), pixel.begin(), pixel.end());
            expectPicture(progressiveFile(size.first, size.second, frame, scans), expected);
        }
    }
}

TEST(ProgressiveFiles, PlanesTake130BytesPerBlock) {
    // 124.jpg: 1024 x 740, 2 x 2 luma sampling: 64 x 47 MCUs, 12032 luma and 3008 blocks of
    // each chroma component; each block 2 bytes of DC plane and 128 of AC plane (plus the
    // allocation table's 8 bytes of alignment per block of memory).
    Bytes file = corpusFile("photo-124");
    for (bool useSimd : {false, true}) {
        Decoded d = decode(file, {useSimd, useSimd});
        ASSERT_TRUE(d.complete());
        auto count = [&](size_t bytes) {
            return std::count(d.allocations.begin(), d.allocations.end(), bytes);
        };
        EXPECT_EQ(count(12032 * 2 + 8), 1);
        EXPECT_EQ(count(12032 * 128 + 8), 1);
        EXPECT_EQ(count(3008 * 2 + 8), 2);
        EXPECT_EQ(count(3008 * 128 + 8), 2);
        // Beside the planes: the MCU-row buffers (74 KB), four Huffman decode tables (32 KB),
        // the two lines, the quantisation and code tables.
        const size_t planeBytes = 18048 * 130;
        EXPECT_LT(d.peakHeap, planeBytes + 128 * 1024);
        std::printf("peak heap decoding photo-124 (%s): %zu bytes, %zu of them planes\n",
                    useSimd ? "simd" : "plain", d.peakHeap, planeBytes);
    }
}
