// Public calls: the stages in the order the design gives them, the error path at the boundary.
#include "jpeg/JpegDecoder.h"

#include "base/ProcessorInfo.h"
#include "jpeg/JpegMarker.h"

#include <cstring>

void JpegDecoder::begin(JpegInputStream* stream, bool useSimd) {
    JpegDecoderOptions options;
    options.simdTransform = useSimd;
    options.simdBitReader = useSimd;
    begin(stream, options);
}

void JpegDecoder::begin(JpegInputStream* stream, const JpegDecoderOptions& options) {
    releaseAll();
    errorCode_ = 0;
    simdTransform_ = options.simdTransform;
    simdBitReader_ = options.simdBitReader;
    sse2_ = processorInfo().HasSse2;
    usePlanes_ = false;
    blocks_.useHeap(options.heap);
    headers_ = JpegHeaders();
    rows_ = JpegRowBuffers();
    colour_ = JpegColourStage();
    linesLeft_ = linesLeftInRow_ = mcuRowsLeft_ = 0;
    markers_.storeAanTables(simdTransform_);
    transform_.useAan(simdTransform_, sse2_);
    try {
        source_.start(stream);
        markers_.findStartOfImage();
        switch (markers_.readMarkers()) {
        case SOF0:
        case SOF1:
            markers_.readFrameHeader();
            break;
        case SOF2:
            headers_.frame.progressive = true;
            markers_.readFrameHeader();
            break;
        case SOF9:
            jpegFail(ArithmeticCoding);
        default:
            jpegFail(UnsupportedFrame);
        }
        frameRead_ = true;
    } catch (const JpegFailure& failure) {
        failed(failure.code);
    }
}

int JpegDecoder::beginDecoding() {
    if (errorCode_ != 0 || !frameRead_) return -1;
    if (ready_) return 0;
    try {
        setUpFrame();
        if (headers_.frame.progressive) {
            usePlanes_ = true;
            planes_.create(headers_.frame, blocks_);
            decodeScansIntoPlanes(false);
        } else {
            if (markers_.readMarkers() != SOS) jpegFail(UnexpectedMarker);
            markers_.readScanHeader();
            headers_.scan.computeGeometry(headers_.frame);
            if (headers_.scan.holdsTheFrameInOrder(headers_.frame)) {
                startSequentialScan();
            } else {
                // Non-interleaved (or oddly ordered) sequential scans go through the planes,
                // like progressive ones, so every component lands in its own blocks.
                usePlanes_ = true;
                planes_.create(headers_.frame, blocks_);
                decodeScansIntoPlanes(true);
            }
        }
        colour_.passRgb(headers_.codedAsRgb());
        ready_ = true;
        return 0;
    } catch (const JpegFailure& failure) {
        failed(failure.code);
        return -1;
    }
}

int JpegDecoder::decode(const uint8_t*& linePointer, int& lineLength) {
    if (errorCode_ != 0 || !ready_) return -1;
    if (linesLeft_ == 0) return 1;
    const JpegFrame& frame = headers_.frame;
    try {
        nextRowWhenNeeded();
        int row = frame.mcuHeight - linesLeftInRow_;
        const uint8_t* line = rows_.lines[0];
        if (frame.layout == SamplingLayout::H1V2 || frame.layout == SamplingLayout::H2V2) {
            if (linesLeftInRow_ % 2 == 0)
                colour_.convertLine(rows_, frame, row, rows_.lines[0], rows_.lines[1]);
            else
                line = rows_.lines[1];
        } else {
            colour_.convertLine(rows_, frame, row, rows_.lines[0], nullptr);
        }
        --linesLeftInRow_;
        --linesLeft_;
        linePointer = line;
        lineLength = rows_.lineLength;
        return 0;
    } catch (const JpegFailure& failure) {
        failed(failure.code);
        return CorruptScan;
    }
}

int JpegDecoder::decodePixels(uint32_t* pixels, int& lines) {
    lines = 0;
    if (errorCode_ != 0 || !ready_) return -1;
    const JpegFrame& frame = headers_.frame;
    const bool pairs = frame.layout == SamplingLayout::H1V2 || frame.layout == SamplingLayout::H2V2;
    const size_t width = static_cast<size_t>(frame.width);
    // The MCUs wholly inside the width go straight into the rows; the last one, when the width
    // ends inside it, goes through a buffer of its own, so that nothing is written past a row.
    const int whole = frame.width / frame.mcuWidth;
    const size_t rest = width - static_cast<size_t>(whole) * frame.mcuWidth;
    try {
        while (linesLeft_ > 0) {
            nextRowWhenNeeded();
            const int r = frame.mcuHeight - linesLeftInRow_;
            uint32_t* row = pixels + width * static_cast<size_t>(frame.height - linesLeft_);
            // Both lines of a pair at once, unless the second lies below the picture or the
            // first was delivered by decode.
            const int count = pairs && r % 2 == 0 && linesLeft_ > 1 ? 2 : 1;
            uint8_t* line0 = reinterpret_cast<uint8_t*>(row);
            uint8_t* line1 = count == 2 ? reinterpret_cast<uint8_t*>(row + width) : nullptr;
            colour_.convertLine(rows_, frame, r, line0, line1, JpegOutput::Pixels, 0, whole);
            if (rest > 0) {
                uint32_t last[2][16]; // one MCU of each line
                colour_.convertLine(rows_, frame, r, reinterpret_cast<uint8_t*>(last[0]),
                                    line1 ? reinterpret_cast<uint8_t*>(last[1]) : nullptr,
                                    JpegOutput::Pixels, whole, 1);
                const size_t done = width - rest;
                std::memcpy(row + done, last[0], 4 * rest);
                if (line1) std::memcpy(row + width + done, last[1], 4 * rest);
            }
            linesLeftInRow_ -= count;
            linesLeft_ -= count;
            lines += count;
        }
        return 1;
    } catch (const JpegFailure& failure) {
        failed(failure.code);
        return CorruptScan;
    }
}

void JpegDecoder::nextRowWhenNeeded() {
    if (linesLeftInRow_ != 0) return;
    const JpegFrame& frame = headers_.frame;
    if (usePlanes_)
        planes_.loadRow(rows_, frame, headers_.scan, simdTransform_);
    else
        entropy_.decodeRow(rows_, !simdTransform_);
    transform_.transformRow(rows_, frame);
    linesLeftInRow_ = frame.mcuHeight;
    if (--mcuRowsLeft_ == 0) finishImage();
}

void JpegDecoder::releaseAll() {
    source_.detach();
    blocks_.releaseAll();
    forgetBlocks();
    // Nothing is owned any more: later calls report "not ready" instead of touching freed lines.
    ready_ = false;
    frameRead_ = false;
}

void JpegDecoder::failed(int code) {
    if (errorCode_ == 0) errorCode_ = code;
    source_.detach();
    blocks_.releaseAll();
    forgetBlocks();
    ready_ = false;
}

void JpegDecoder::forgetBlocks() {
    headers_.huffman = JpegHuffmanTables();
    headers_.quant = JpegQuantTables();
    entropy_ = JpegEntropyDecoder();
    planes_ = JpegCoefficientPlanes();
    rows_.forget();
    transform_.bind(JpegBlockTables().quant);
}

void JpegDecoder::setUpFrame() {
    JpegFrame& frame = headers_.frame;
    frame.setUp();
    rows_.create(frame, blocks_);
    linesLeft_ = frame.height;
    linesLeftInRow_ = 0;
    mcuRowsLeft_ = frame.mcusPerColumn;
    colour_.setUp(simdTransform_, sse2_);
}

void JpegDecoder::startSequentialScan() {
    JpegEntropyDecoder::checkAndBuildTables(headers_, blocks_);
    entropy_.startScan(source_, headers_, simdBitReader_);
    transform_.bind(entropy_.tables().quant);
}

void JpegDecoder::decodeScansIntoPlanes(bool scanHeaderRead) {
    for (;;) {
        if (!scanHeaderRead) {
            int marker = markers_.readMarkers();
            if (marker == EOI) break;
            if (marker != SOS) jpegFail(UnexpectedMarker);
            markers_.readScanHeader();
            headers_.scan.computeGeometry(headers_.frame);
        }
        scanHeaderRead = false;
        JpegEntropyDecoder::checkAndBuildTables(headers_, blocks_);
        // Progressive scans always take the standard reader.
        entropy_.startScan(source_, headers_, false);
        planes_.decodeScan(entropy_, headers_.frame, headers_.scan);
        entropy_.bits().drop();
    }
    // From here on the rows come from the planes, every component in frame order.
    headers_.scan.makeFullFrame(headers_.frame);
    planes_.startLoading(headers_.frame, headers_.quant);
    JpegBlockTables tables;
    tables.bind(headers_);
    transform_.bind(tables.quant);
}

void JpegDecoder::finishImage() {
    if (!usePlanes_) {
        // Every row is decoded by now: whatever follows may end the picture, but neither a stray
        // marker nor damage between the last data and EOI takes a row away.
        entropy_.bits().drop();
        try {
            markers_.readMarkers(true);
        } catch (const JpegFailure&) {}
    }
    source_.finish();
}
