// Every error code a file can provoke, each by a crafted file, with both variants; after each
// failure the decoder owns nothing and has detached its stream exactly once.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Outcome {
    int errorAfterBegin = 0;
    int beginDecodingResult = 0;
    int lastDecodeResult = 0;
    int errorCode = 0;
    int blocksAfterFailure = -1;
    int detachesBeforeRelease = 0;
    int detaches = 0;
    int attaches = 0;
    int heapOutstanding = 0;
};

Outcome run(const Bytes& file, bool useSimd, int failingRead = -1, int refuseAllocation = 0) {
    CountingStream stream(file, failingRead);
    CountingHeap heap(refuseAllocation);
    JpegDecoderOptions options;
    options.simdTransform = options.simdBitReader = useSimd;
    options.heap = &heap;
    JpegDecoder decoder;
    decoder.begin(&stream, options);
    Outcome o;
    o.errorAfterBegin = decoder.errorCode();
    o.beginDecodingResult = decoder.beginDecoding();
    if (o.beginDecodingResult == 0) {
        const uint8_t* line;
        int length;
        while ((o.lastDecodeResult = decoder.decode(line, length)) == 0) {}
    }
    o.errorCode = decoder.errorCode();
    o.blocksAfterFailure = decoder.allocatedBlocks();
    o.detachesBeforeRelease = stream.detaches;
    decoder.releaseAll();
    o.detaches = stream.detaches;
    o.attaches = stream.attaches;
    o.heapOutstanding = heap.outstanding;
    return o;
}

enum class Stage { Begin, BeginDecoding, Decode };

void expectFailure(const Outcome& o, int code, Stage stage, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(o.errorCode, code) << jpegErrorName(o.errorCode);
    EXPECT_EQ(o.attaches, 1);
    EXPECT_EQ(o.blocksAfterFailure, 0);
    EXPECT_EQ(o.detachesBeforeRelease, 1) << "the error path detaches";
    EXPECT_EQ(o.detaches, 1) << "releaseAll does not detach again";
    EXPECT_EQ(o.heapOutstanding, 0);
    switch (stage) {
    case Stage::Begin:
        EXPECT_EQ(o.errorAfterBegin, code);
        EXPECT_EQ(o.beginDecodingResult, -1);
        break;
    case Stage::BeginDecoding:
        EXPECT_EQ(o.errorAfterBegin, 0);
        EXPECT_EQ(o.beginDecodingResult, -1);
        break;
    case Stage::Decode:
        EXPECT_EQ(o.beginDecodingResult, 0);
        EXPECT_EQ(o.lastDecodeResult, -227);
        break;
    }
}

struct Case {
    const char* name;
    std::function<Bytes()> file;
    int code;
    Stage stage;
};

Bytes u8(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values)
        b.push_back(static_cast<uint8_t>(v));
    return b;
}

Bytes sofPayload(int precision, int height, int width, int count) {
    Bytes p = u8({precision, height >> 8, height & 255, width >> 8, width & 255, count});
    for (int i = 0; i < count; ++i)
        p.insert(p.end(), {static_cast<uint8_t>(i + 1), 0x11, 0});
    return p;
}

// A 16 x 16 three-component file with the given factors and scan, tables all defined.
Bytes colourFile(std::vector<JpegBuilder::FrameComponent> frame,
                 std::vector<JpegBuilder::ScanComponent> scan) {
    JpegBuilder b;
    b.soi().dqt(0, 1).sof(0xC0, 16, 16, frame).dht(0, 0, testDcTable()).dht(1, 0, testAcTable());
    b.sos(scan).raw(Bytes(40, 0)).eoi();
    return b.bytes;
}

Bytes dhtPayload(int tableByte, std::vector<std::pair<int, int>> counts, int symbols) {
    Bytes p{static_cast<uint8_t>(tableByte)};
    Bytes c(16, 0);
    for (auto& lc : counts)
        c[static_cast<size_t>(lc.first - 1)] = static_cast<uint8_t>(lc.second);
    p.insert(p.end(), c.begin(), c.end());
    for (int i = 0; i < symbols; ++i)
        p.push_back(static_cast<uint8_t>(i));
    return p;
}

// Progressive files of 16 x 16 pixels: one grey component, or three with 2 x 2 luma sampling.
const std::vector<JpegBuilder::FrameComponent> progressiveGrey{{1, 1, 1, 0}};
const std::vector<JpegBuilder::FrameComponent> progressiveColour{
    {1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
const std::vector<JpegBuilder::ScanComponent> luma{{1, 0, 0}};

// A DC scan of n blocks whose differences are all 0.
ProgressiveScan dcScan(const std::vector<JpegBuilder::ScanComponent>& components, int blocks) {
    BitWriter w;
    for (int i = 0; i < blocks; ++i)
        w.dc(testDcTable(), 0);
    return {components, 0, 0, 0, 0, w.take()};
}

// A grey progressive file: a DC scan of its 4 blocks, then one AC scan with these bits.
Bytes progressiveAc(int start, int end, int high, int low, BitWriter bits) {
    return progressiveFile(16, 16, progressiveGrey,
                           {dcScan(luma, 4), {luma, start, end, high, low, bits.take()}});
}

BitWriter acSymbols(std::initializer_list<int> symbols) {
    BitWriter w;
    for (int symbol : symbols)
        w.symbol(progressiveAcTable(), static_cast<uint8_t>(symbol));
    return w;
}

// An SOF0 segment of a 16 x 16 grey frame.
Bytes sofPayloadSegment() {
    JpegBuilder b;
    return b.segment(0xC0, sofPayload(8, 16, 16, 1)).bytes;
}

Bytes withFrameMarker(uint8_t marker) {
    Bytes base = validGreyFile();
    for (size_t i = 0; i + 1 < base.size(); ++i)
        if (base[i] == 0xFF && base[i + 1] == 0xC0) base[i + 1] = marker;
    return base;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all{
        {"counts above 255",
         [] {
             return withSegment(validGreyFile(), 0xC4, dhtPayload(0, {{15, 100}, {16, 156}}, 0));
         },
         DhtCountsTooLarge, Stage::Begin},
        {"three 1-bit codes",
         [] {
             return withSegment(validGreyFile(), 0xC4, dhtPayload(0, {{1, 3}}, 3));
         },
         DhtCountsTooLarge, Stage::Begin},
        {"code space overflowing at length 3",
         [] {
             return withSegment(validGreyFile(), 0xC4,
                                dhtPayload(0x10, {{1, 1}, {2, 2}, {3, 1}}, 4));
         },
         DhtCountsTooLarge, Stage::Begin},
        {"DHT slot 8",
         [] {
             return withSegment(validGreyFile(), 0xC4, dhtPayload(0x14, {{2, 1}}, 1));
         },
         DhtBadIndex, Stage::Begin},
        {"DHT length 1",
         [] {
             return insertBefore(validGreyFile(), 0xDB, u8({0xFF, 0xC4, 0, 1}));
         },
         DhtBadLength, Stage::Begin},
        {"DHT symbols cut short",
         [] {
             Bytes p = dhtPayload(0, {{2, 3}}, 3);
             p.pop_back();
             return withSegment(validGreyFile(), 0xC4, p);
         },
         DhtBadLength, Stage::Begin},
        {"DQT length 1",
         [] {
             return insertBefore(validGreyFile(), 0xDB, u8({0xFF, 0xDB, 0, 1}));
         },
         DqtBadLength, Stage::Begin},
        {"DQT id 4", [] { return withSegment(validGreyFile(), 0xDB, Bytes(65, 4)); }, DqtBadIndex,
         Stage::Begin},
        {"DQT 63 values", [] { return withSegment(validGreyFile(), 0xDB, Bytes(64, 0)); },
         DqtTruncated, Stage::Begin},
        {"DQT 16-bit 64 bytes",
         [] {
             Bytes p(65, 1);
             p[0] = 0x10;
             return withSegment(validGreyFile(), 0xDB, p);
         },
         DqtTruncated, Stage::Begin},
        {"12-bit samples",
         [] { return withSegment(validGreyFile(), 0xC0, sofPayload(12, 16, 16, 1)); }, BadPrecision,
         Stage::Begin},
        {"height 0", [] { return withSegment(validGreyFile(), 0xC0, sofPayload(8, 0, 16, 1)); },
         BadHeight, Stage::Begin},
        {"height 8193",
         [] { return withSegment(validGreyFile(), 0xC0, sofPayload(8, 8193, 16, 1)); }, BadHeight,
         Stage::Begin},
        {"width 0", [] { return withSegment(validGreyFile(), 0xC0, sofPayload(8, 16, 0, 1)); },
         BadWidth, Stage::Begin},
        {"width 8193",
         [] { return withSegment(validGreyFile(), 0xC0, sofPayload(8, 16, 8193, 1)); }, BadWidth,
         Stage::Begin},
        {"five components",
         [] { return withSegment(validGreyFile(), 0xC0, sofPayload(8, 16, 16, 5)); },
         TooManyComponents, Stage::Begin},
        {"frame length",
         [] {
             Bytes p = sofPayload(8, 16, 16, 1);
             p.push_back(0);
             return withSegment(validGreyFile(), 0xC0, p);
         },
         SofBadLength, Stage::Begin},
        {"APP0 length 1",
         [] {
             return insertBefore(validGreyFile(), 0xDB, u8({0xFF, 0xE0, 0, 1}));
         },
         MarkerBadLength, Stage::Begin},
        {"DRI length 5",
         [] {
             return insertBefore(validGreyFile(), 0xDB, u8({0xFF, 0xDD, 0, 5, 0, 1, 0}));
         },
         DriBadLength, Stage::Begin},
        {"scan of no component",
         [] {
             return withSegment(validGreyFile(), 0xDA, u8({0, 0, 63, 0}));
         },
         SosBadLength, Stage::BeginDecoding},
        {"scan length",
         [] {
             return withSegment(validGreyFile(), 0xDA, u8({1, 1, 0, 0, 63, 0, 0}));
         },
         SosBadLength, Stage::BeginDecoding},
        {"scan names an absent id",
         [] {
             return withSegment(validGreyFile(), 0xDA, u8({1, 9, 0, 0, 63, 0}));
         },
         SosBadComponent, Stage::BeginDecoding},
        {"scan names a component twice",
         [] {
             return colourFile({{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}},
                               {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}});
         },
         SosBadComponent, Stage::BeginDecoding},
        {"DAC segment",
         [] {
             return insertBefore(validGreyFile(), 0xC0, u8({0xFF, 0xCC, 0, 4, 0, 0x11}));
         },
         ArithmeticCoding, Stage::Begin},
        {"SOF9 frame", [] { return withFrameMarker(0xC9); }, ArithmeticCoding, Stage::Begin},
        {"cjpeg -arithmetic", [] { return readFile(corpusDir() + "/arithmetic.jpg"); },
         ArithmeticCoding, Stage::Begin},
        {"RST0 between segments",
         [] {
             return insertBefore(validGreyFile(), 0xDB, u8({0xFF, 0xD0}));
         },
         UnexpectedMarker, Stage::Begin},
        {"TEM",
         [] {
             return insertBefore(validGreyFile(), 0xDB, u8({0xFF, 0x01}));
         },
         UnexpectedMarker, Stage::Begin},
        {"JPG",
         [] {
             return insertBefore(validGreyFile(), 0xDB, u8({0xFF, 0xC8}));
         },
         UnexpectedMarker, Stage::Begin},
        {"EOI before the scan",
         [] {
             return insertBefore(validGreyFile(), 0xDA, u8({0xFF, 0xD9}));
         },
         UnexpectedMarker, Stage::BeginDecoding},
        {"second frame before the scan",
         [] {
             return insertBefore(validGreyFile(), 0xDA, u8({0xFF, 0xC0}));
         },
         UnexpectedMarker, Stage::BeginDecoding},
        {"no SOI", [] { return Bytes(600, 0); }, NoStartOfImage, Stage::Begin},
        {"empty file", [] { return Bytes(); }, NoStartOfImage, Stage::Begin},
        {"lossless SOF3", [] { return withFrameMarker(0xC3); }, UnsupportedFrame, Stage::Begin},
        {"SOF5", [] { return withFrameMarker(0xC5); }, UnsupportedFrame, Stage::Begin},
        {"arithmetic progressive SOF10", [] { return withFrameMarker(0xCA); }, UnsupportedFrame,
         Stage::Begin},
        {"scan before any frame",
         [] {
             Bytes f = validGreyFile();
             return insertBefore(f, 0xDB, u8({0xFF, 0xDA}));
         },
         UnsupportedFrame, Stage::Begin},
        {"undefined quantisation table",
         [] {
             return withSegment(validGreyFile(), 0xC0, u8({8, 0, 16, 0, 16, 1, 1, 0x11, 1}));
         },
         QuantTableMissing, Stage::BeginDecoding},
        {"quantisation table number 7",
         [] {
             return withSegment(validGreyFile(), 0xC0, u8({8, 0, 16, 0, 16, 1, 1, 0x11, 7}));
         },
         QuantTableMissing, Stage::BeginDecoding},
        {"undefined DC table",
         [] {
             return withSegment(validGreyFile(), 0xDA, u8({1, 1, 0x10, 0, 63, 0}));
         },
         HuffTableMissing, Stage::BeginDecoding},
        {"DC selector 5",
         [] {
             return withSegment(validGreyFile(), 0xDA, u8({1, 1, 0x50, 0, 63, 0}));
         },
         HuffTableMissing, Stage::BeginDecoding},
        {"AC selector 7",
         [] {
             return withSegment(validGreyFile(), 0xDA, u8({1, 1, 0x07, 0, 63, 0}));
         },
         HuffTableMissing, Stage::BeginDecoding},
        {"two components",
         [] {
             return colourFile({{1, 1, 1, 0}, {2, 1, 1, 0}}, {{1, 0, 0}});
         },
         UnsupportedComponents, Stage::BeginDecoding},
        {"four components",
         [] {
             return colourFile({{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 1, 0}},
                               {{1, 0, 0}});
         },
         UnsupportedComponents, Stage::BeginDecoding},
        {"no component",
         [] { return withSegment(validGreyFile(), 0xC0, sofPayload(8, 16, 16, 0)); },
         UnsupportedComponents, Stage::BeginDecoding},
        {"chroma 2x1",
         [] {
             return colourFile({{1, 2, 2, 0}, {2, 2, 1, 0}, {3, 1, 1, 0}}, {{1, 0, 0}});
         },
         UnsupportedSampling, Stage::BeginDecoding},
        {"luma 3x1",
         [] {
             return colourFile({{1, 3, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, {{1, 0, 0}});
         },
         UnsupportedSampling, Stage::BeginDecoding},
        {"AC run past 63",
         [] {
             BitWriter w;
             w.dc(testDcTable(), 0)
                 .ac(testAcTable(), 15, 1)
                 .ac(testAcTable(), 15, 1)
                 .ac(testAcTable(), 15, 1)
                 .ac(testAcTable(), 15, 1);
             return greyFile(8, 8, w.take());
         },
         CorruptScan, Stage::Decode},
        {"DC category 17",
         [] {
             BitWriter w;
             w.symbol(testDcTable(), 17).bits(0, 17);
             return greyFile(8, 8, w.take());
         },
         CorruptScan, Stage::Decode},
        {"restart marker missing", [] { return greyFile(16, 8, Bytes(40, 0), 1); },
         BadRestartMarker, Stage::Decode},

        // Progressive scans: every error happens in beginDecoding, which decodes all scans.
        {"first scan an AC scan of two components",
         [] {
             return progressiveFile(16, 16, progressiveColour,
                                    {{{{2, 0, 0}, {3, 0, 0}}, 1, 5, 0, 0, Bytes(8, 0)}});
         },
         BadSpectralSelection, Stage::BeginDecoding},
        {"DC scan with Se = 5",
         [] {
             ProgressiveScan scan = dcScan(luma, 4);
             scan.end = 5;
             return progressiveFile(16, 16, progressiveGrey, {scan});
         },
         BadSpectralSelection, Stage::BeginDecoding},
        {"AC scan with Ss above Se", [] { return progressiveAc(6, 5, 0, 0, acSymbols({0})); },
         BadSpectralSelection, Stage::BeginDecoding},
        {"AC scan with Se = 64", [] { return progressiveAc(1, 64, 0, 0, acSymbols({0})); },
         BadSpectralSelection, Stage::BeginDecoding},
        {"refinement with Ah = 2 and Al = 0",
         [] { return progressiveAc(1, 63, 2, 0, acSymbols({0})); }, BadSuccessiveApproximation,
         Stage::BeginDecoding},
        {"DC refinement with Ah = 1 and Al = 1",
         [] {
             ProgressiveScan refine = dcScan(luma, 4);
             refine.high = refine.low = 1;
             return progressiveFile(16, 16, progressiveGrey, {dcScan(luma, 4), refine});
         },
         BadSuccessiveApproximation, Stage::BeginDecoding},
        {"AC refinement symbol of category 2",
         [] {
             return progressiveAc(1, 63, 1, 0, acSymbols({0x02, 0, 0, 0}));
         },
         CorruptScan, Stage::BeginDecoding},
        {"AC first run past 63",
         [] {
             BitWriter w;
             for (int i = 0; i < 4; ++i)
                 w.ac(progressiveAcTable(), 15, 1);
             return progressiveAc(1, 63, 0, 0, w);
         },
         CorruptScan, Stage::BeginDecoding},
        {"AC first ZRL past 63", [] { return progressiveAc(49, 63, 0, 0, acSymbols({0xF0})); },
         CorruptScan, Stage::BeginDecoding},
        {"DC first category 17",
         [] {
             BitWriter w;
             w.symbol(testDcTable(), 17).bits(0, 16).bits(0, 1);
             return progressiveFile(16, 16, progressiveGrey, {{luma, 0, 0, 0, 0, w.take()}});
         },
         CorruptScan, Stage::BeginDecoding},
        {"progressive scan names a component twice",
         [] {
             return progressiveFile(16, 16, progressiveColour,
                                    {dcScan({{1, 0, 0}, {2, 0, 0}, {2, 0, 0}}, 6)});
         },
         SosBadComponent, Stage::BeginDecoding},
        {"frame header between scans",
         [] {
             Bytes file = progressiveFile(16, 16, progressiveGrey, {dcScan(luma, 4)});
             return insertBefore(file, 0xD9, sofPayloadSegment());
         },
         UnexpectedMarker, Stage::BeginDecoding},
        {"AC scan with an undefined AC table",
         [] {
             return progressiveFile(16, 16, progressiveGrey,
                                    {dcScan(luma, 4), {{{1, 0, 1}}, 1, 63, 0, 0, Bytes(4, 0)}});
         },
         HuffTableMissing, Stage::BeginDecoding},
        {"restart marker missing in a progressive scan",
         [] { return progressiveFile(16, 16, progressiveGrey, {dcScan(luma, 4)}, 1); },
         BadRestartMarker, Stage::BeginDecoding},
        {"a component no scan names has no quantisation table",
         [] {
             std::vector<JpegBuilder::FrameComponent> frame = progressiveColour;
             frame[2].quantTable = 1;
             return progressiveFile(16, 16, frame, {dcScan(luma, 4)});
         },
         QuantTableMissing, Stage::BeginDecoding},
    };
    return all;
}

} // namespace

TEST(Errors, EveryCodeAFileCanProvokeEndsWithNothingOwned) {
    for (const Case& c : cases()) {
        Bytes file = c.file();
        for (bool simd : {false, true})
            expectFailure(run(file, simd), c.code, c.stage,
                          std::string(c.name) + (simd ? " (simd)" : " (plain)"));
    }
}

TEST(Errors, ReadFailuresAreReportedWhereTheyHappen) {
    expectFailure(run(validGreyFile(), false, 0), StreamReadFailed, Stage::Begin, "first read");
    // A photograph needs several 4096-byte reads: the third fails while lines are decoded.
    Bytes photo = readFile(corpusDir() + "/photo-116.jpg");
    for (bool simd : {false, true})
        expectFailure(run(photo, simd, 3), StreamReadFailed, Stage::Decode, "third read");
}

TEST(Errors, EveryRefusedAllocationEndsInOutOfMemoryWithoutLeaks) {
    for (const char* name : {"re-three-scans", "s17x15-2x2"}) {
        Bytes file = readFile(corpusDir() + "/" + name + ".jpg");
        for (bool simd : {false, true}) {
            CountingHeap counter;
            {
                MemoryInputStream stream(file.data(), file.size());
                JpegDecoderOptions options;
                options.heap = &counter;
                options.simdTransform = options.simdBitReader = simd;
                JpegDecoder decoder;
                decoder.begin(&stream, options);
                ASSERT_EQ(decoder.beginDecoding(), 0);
                decoder.releaseAll();
            }
            ASSERT_GT(counter.allocations, 5);
            for (int n = 1; n <= counter.allocations; ++n) {
                Outcome o = run(file, simd, -1, n);
                expectFailure(o, OutOfMemory,
                              o.errorAfterBegin ? Stage::Begin : Stage::BeginDecoding,
                              std::string(name) + " allocation " + std::to_string(n));
            }
        }
    }
}

TEST(Errors, NamesCoverEveryCode) {
    const int codes[] = {-200, -201, -202, -203, -204, -205, -206, -207, -208, -209, -210,
                         -211, -212, -213, -215, -216, -217, -218, -219, -221, -222, -223,
                         -225, -226, -227, -228, -229, -230, -231, -232, -233};
    for (int code : codes)
        EXPECT_NE(jpegErrorName(code), nullptr) << code;
    EXPECT_STREQ(jpegErrorName(-215), "ArithmeticCoding");
    EXPECT_STREQ(jpegErrorName(-233), "OutOfMemory");
    EXPECT_EQ(jpegErrorName(-214), nullptr);
    EXPECT_EQ(jpegErrorName(0), nullptr);
}
