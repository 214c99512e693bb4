// The decoder's public calls: states, line counts and lengths, table reuse and the promise that
// no allocation happens per line or per block.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

namespace {

class FailingStream : public JpegInputStream {
public:
    int read(uint8_t*, int, bool&) override { return -1; }
};

} // namespace

TEST(Decoder, CallsKeepTheirResultsInEveryState) {
    Bytes file = validGreyFile();
    MemoryInputStream stream(file.data(), file.size());
    JpegDecoder decoder;
    decoder.begin(&stream, false);
    EXPECT_EQ(decoder.errorCode(), 0);
    EXPECT_EQ(decoder.width(), 16);
    EXPECT_EQ(decoder.height(), 16);
    EXPECT_EQ(decoder.componentCount(), 1);
    const uint8_t* line = nullptr;
    int length = 0;
    EXPECT_EQ(decoder.decode(line, length), -1) << "not ready before beginDecoding";

    ASSERT_EQ(decoder.beginDecoding(), 0);
    int blocks = decoder.allocatedBlocks();
    EXPECT_EQ(decoder.beginDecoding(), 0) << "again: does nothing";
    EXPECT_EQ(decoder.allocatedBlocks(), blocks);
    EXPECT_EQ(decoder.bytesPerPixel(), 1);
    EXPECT_EQ(decoder.samplingLayout(), SamplingLayout::Grey);

    int lines = 0;
    while (decoder.decode(line, length) == 0) {
        ++lines;
        EXPECT_EQ(length, 16);
    }
    EXPECT_EQ(lines, 16);
    EXPECT_EQ(decoder.decode(line, length), 1);
    EXPECT_EQ(decoder.decode(line, length), 1);
    decoder.releaseAll();
    EXPECT_EQ(decoder.allocatedBlocks(), 0);
    EXPECT_EQ(decoder.decode(line, length), -1) << "nothing is owned after releaseAll";
    EXPECT_EQ(decoder.beginDecoding(), -1);
    decoder.releaseAll();
}

TEST(Decoder, AFailingStreamLeavesNoSize) {
    FailingStream stream;
    JpegDecoder decoder;
    decoder.begin(&stream, true);
    EXPECT_EQ(decoder.errorCode(), StreamReadFailed);
    EXPECT_EQ(decoder.beginDecoding(), -1);
    EXPECT_EQ(decoder.width(), 0);
    EXPECT_EQ(decoder.height(), 0);
    decoder.releaseAll();
}

TEST(Decoder, LinesHaveTheImageWidthAndEveryLineOfAnOddHeightComes) {
    // Grey of width 10: 10 bytes out of a 16-byte converted line.
    BitWriter w;
    w.dc(testDcTable(), 8).symbol(testAcTable(), 0).dc(testDcTable(), 0).symbol(testAcTable(), 0);
    Decoded grey = decodeBytes(greyFile(10, 8, w.take()), false);
    EXPECT_EQ(grey.linesDelivered, 8);
    EXPECT_EQ(grey.picture.pixels, Bytes(80, 129));

    for (const char* name : {"s17x15-2x2", "s17x15-1x2", "s1x1-2x2", "s1000x3-2x1", "s7x5-grey"}) {
        Bytes file = readFile(corpusDir() + "/" + name + ".jpg");
        MemoryInputStream stream(file.data(), file.size());
        JpegDecoder decoder;
        decoder.begin(&stream, false);
        ASSERT_EQ(decoder.beginDecoding(), 0) << name;
        const uint8_t* line;
        int length;
        int lines = 0;
        while (decoder.decode(line, length) == 0) {
            ++lines;
            EXPECT_EQ(length, decoder.width() * decoder.bytesPerPixel()) << name;
        }
        EXPECT_EQ(lines, decoder.height()) << name;
        EXPECT_EQ(decoder.bytesConsumed(), static_cast<long>(file.size())) << name;
        decoder.releaseAll();
    }
}

TEST(Decoder, NoAllocationHappensPerLineOrPerBlock) {
    for (const char* name : {"photo-114", "re-two-scans-restart", "re-h1v2", "re-grey", "photo-124",
                             "prog-one-per-scan"}) {
        Bytes file = readFile(corpusDir() + "/" + name + ".jpg");
        for (bool simd : {false, true}) {
            CountingHeap heap;
            MemoryInputStream stream(file.data(), file.size());
            JpegDecoderOptions options;
            options.heap = &heap;
            options.simdTransform = options.simdBitReader = simd;
            JpegDecoder decoder;
            decoder.begin(&stream, options);
            ASSERT_EQ(decoder.beginDecoding(), 0) << name;
            int afterSetUp = heap.allocations;
            const uint8_t* line;
            int length;
            int lines = 0;
            while (decoder.decode(line, length) == 0)
                ++lines;
            EXPECT_EQ(lines, decoder.height()) << name;
            EXPECT_EQ(heap.allocations, afterSetUp) << name;
            EXPECT_EQ(heap.outstanding, decoder.allocatedBlocks()) << name;
            decoder.releaseAll();
            EXPECT_EQ(heap.outstanding, 0) << name;
        }
    }
}

TEST(Decoder, RedefinedTablesReuseTheirBlocks) {
    Bytes once = validGreyFile();
    JpegBuilder again;
    again.dqt(0, 1).dht(0, 0, testDcTable()).dht(1, 0, testAcTable()).dqt(0, 1);
    Bytes twice = insertBefore(once, 0xDA, again.bytes);
    auto blocksAfterBeginDecoding = [](const Bytes& file) {
        MemoryInputStream stream(file.data(), file.size());
        JpegDecoder decoder;
        decoder.begin(&stream, false);
        EXPECT_EQ(decoder.beginDecoding(), 0);
        int blocks = decoder.allocatedBlocks();
        decoder.releaseAll();
        return blocks;
    };
    EXPECT_EQ(blocksAfterBeginDecoding(twice), blocksAfterBeginDecoding(once));
    EXPECT_EQ(decodeBytes(twice, false).picture.pixels, decodeBytes(once, false).picture.pixels);
}

TEST(Decoder, ALaterTableDefinitionReplacesTheEarlierOne) {
    // The same file with quantisation table 0 redefined as all twos before the scan: every
    // DC doubles (8 -> 16 -> 130 instead of 129).
    BitWriter w;
    w.dc(testDcTable(), 8).symbol(testAcTable(), 0);
    Bytes file = greyFile(8, 8, w.take());
    JpegBuilder two;
    two.dqt(0, 2);
    Decoded d = decodeBytes(insertBefore(file, 0xDA, two.bytes), false);
    EXPECT_EQ(d.picture.pixels, Bytes(64, 130));
}
