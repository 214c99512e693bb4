// Public calls, memory, the byte source, the marker structure, frame and scan set-up and the
// output lines. Entropy decoding: JpegEntropy.cpp; coefficient planes: JpegPlanes.cpp.
#include "jpeg/JpegDecoder.h"

#include "jpeg/JpegTransform.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class ProcessHeap final : public JpegHeap {
public:
    void* allocateZeroed(size_t bytes) override { return std::calloc(1, bytes); }
    void release(void* block) override { std::free(block); }
};

inline int ceilDiv(int a, int b) {
    return (a + b - 1) / b;
}

} // namespace

JpegHeap& jpegProcessHeap() {
    static ProcessHeap heap;
    return heap;
}

// ---------------------------------------------------------------------------------------------
// Public calls

void JpegDecoder::begin(JpegInputStream* stream, bool useSimd) {
    JpegDecoderOptions options;
    options.simdTransform = useSimd;
    options.simdBitReader = useSimd;
    begin(stream, options);
}

void JpegDecoder::begin(JpegInputStream* stream, const JpegDecoderOptions& options) {
    // Every field is plain data: zero them all, then set what is not zero.
    std::memset(static_cast<void*>(this), 0, sizeof *this);
    stream_ = stream;
    heap_ = options.heap ? options.heap : &jpegProcessHeap();
    simdTransform_ = options.simdTransform;
    simdBitReader_ = options.simdBitReader;
    layout_ = SamplingLayout::Grey;
    inputPos_ = inputEnd_ = PushBackMargin;
    try {
        if (!stream_) fail(StreamReadFailed);
        stream_->attach();
        refill();
        findStartOfImage();
        switch (readMarkers()) {
        case 0xC0:
        case 0xC1:
            readFrameHeader();
            break;
        case 0xC2:
            progressive_ = true;
            readFrameHeader();
            break;
        case 0xC9:
            fail(ArithmeticCoding);
        default:
            fail(UnsupportedFrame);
        }
        frameRead_ = true;
    } catch (const Failure&) {}
}

int JpegDecoder::beginDecoding() {
    if (errorCode_ != 0 || !frameRead_) return -1;
    if (ready_) return 0;
    try {
        setUpFrame();
        if (progressive_) {
            usePlanes_ = true;
            createPlanes();
            decodeScansIntoPlanes(false);
        } else {
            if (readMarkers() != 0xDA) fail(UnexpectedMarker);
            readScanHeader();
            computeScanGeometry();
            bool allInFrameOrder = scanComponentCount_ == componentCount_;
            for (int i = 0; i < scanComponentCount_; ++i)
                if (scanComponents_[i] != i) allInFrameOrder = false;
            if (allInFrameOrder) {
                startScan();
            } else {
                // Non-interleaved (or oddly ordered) sequential scans go through the planes,
                // like progressive ones, so every component lands in its own blocks.
                usePlanes_ = true;
                createPlanes();
                decodeScansIntoPlanes(true);
            }
        }
        rgb_ = codedAsRgb();
        ready_ = true;
        return 0;
    } catch (const Failure&) {
        return -1;
    }
}

int JpegDecoder::decode(const uint8_t*& linePointer, int& lineLength) {
    if (errorCode_ != 0 || !ready_) return -1;
    if (linesLeft_ == 0) return 1;
    try {
        if (linesLeftInRow_ == 0) {
            if (usePlanes_)
                loadRowFromPlanes();
            else
                decodeMcuRow();
            transformRow();
            linesLeftInRow_ = mcuHeight_;
            if (--mcuRowsLeft_ == 0) finishImage();
        }
        int row = mcuHeight_ - linesLeftInRow_;
        const uint8_t* line = lines_[0];
        if (layout_ == SamplingLayout::H1V2 || layout_ == SamplingLayout::H2V2) {
            if (linesLeftInRow_ % 2 == 0)
                convertLine(row, lines_[0], lines_[1]);
            else
                line = lines_[1];
        } else {
            convertLine(row, lines_[0], nullptr);
        }
        --linesLeftInRow_;
        --linesLeft_;
        linePointer = line;
        lineLength = lineLength_;
        return 0;
    } catch (const Failure&) {
        return CorruptScan;
    }
}

void JpegDecoder::releaseAll() {
    detachStream();
    freeAll();
    // Nothing is owned any more: later calls report "not ready" instead of touching freed lines.
    ready_ = false;
    frameRead_ = false;
}

int JpegDecoder::allocatedBlocks() const {
    int n = 0;
    for (void* slot : slots_)
        if (slot) ++n;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Memory and the error path

void JpegDecoder::fail(int code) {
    if (finishing_) throw Failure{code}; // caught by finishImage, which keeps everything
    if (errorCode_ == 0) errorCode_ = code;
    detachStream();
    freeAll();
    ready_ = false;
    throw Failure{code};
}

void JpegDecoder::detachStream() {
    // Forgotten before detach() runs, so the stream is detached once whatever detach() does.
    if (JpegInputStream* stream = stream_) {
        stream_ = nullptr;
        stream->detach();
    }
}

void JpegDecoder::freeAll() {
    for (void*& slot : slots_) {
        if (slot) heap_->release(slot);
        slot = nullptr;
    }
    std::memset(huffCounts_, 0, sizeof huffCounts_);
    std::memset(huffSymbols_, 0, sizeof huffSymbols_);
    std::memset(huffTables_, 0, sizeof huffTables_);
    std::memset(quantTables_, 0, sizeof quantTables_);
    for (Component& c : components_)
        c.dcPlane.data = c.acPlane.data = nullptr;
    lines_[0] = lines_[1] = nullptr;
    coefficients_ = nullptr;
    extents_ = nullptr;
    samples_ = nullptr;
}

void* JpegDecoder::allocate(size_t bytes) {
    int slot = 0;
    while (slot < AllocationSlots && slots_[slot])
        ++slot;
    if (slot == AllocationSlots) fail(NoFreeSlot);
    void* raw = heap_->allocateZeroed(bytes + 8);
    if (!raw) fail(OutOfMemory);
    slots_[slot] = raw;
    return reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(raw) + 7) & ~uintptr_t(7));
}

// ---------------------------------------------------------------------------------------------
// Byte source

void JpegDecoder::refill() {
    inputPos_ = inputEnd_ = PushBackMargin;
    if (endOfStream_) return;
    const int limit = PushBackMargin + InputBufferSize;
    while (inputEnd_ < limit && !endOfStream_) {
        bool endOfStream = false;
        int n = stream_ ? stream_->read(input_ + inputEnd_, limit - inputEnd_, endOfStream) : -1;
        if (n < 0) fail(StreamReadFailed);
        if (n > limit - inputEnd_) n = limit - inputEnd_; // a stream that overstates its count
        inputEnd_ += n;
        if (endOfStream) endOfStream_ = true;
    }
    totalBytes_ += inputEnd_ - PushBackMargin;
}

uint8_t JpegDecoder::nextByte() {
    if (inputPos_ < inputEnd_) return input_[inputPos_++];
    bool synthetic;
    return nextByteSlow(synthetic);
}

uint8_t JpegDecoder::nextByteSlow(bool& synthetic) {
    if (inputPos_ >= inputEnd_) refill();
    if (inputPos_ < inputEnd_) {
        synthetic = false;
        return input_[inputPos_++];
    }
    // The source is exhausted: an endless FF D9 FF D9 ..., which reads as EOI markers.
    synthetic = true;
    uint8_t byte = nextSyntheticIsD9_ ? 0xD9 : 0xFF;
    nextSyntheticIsD9_ = !nextSyntheticIsD9_;
    return byte;
}

void JpegDecoder::pushBack(uint8_t byte) {
    // At most two bytes are ever pushed back in front of a fresh buffer.
    if (inputPos_ == 0) fail(CorruptScan);
    input_[--inputPos_] = byte;
}

uint8_t JpegDecoder::entropyByteSlow() {
    bool synthetic;
    uint8_t byte = nextByteSlow(synthetic);
    if (synthetic || byte != 0xFF) return byte;
    uint8_t next = nextByteSlow(synthetic);
    if (synthetic) {
        pushBack(0xFF);
    } else if (next != 0x00) {
        // A marker: leave it in place and feed one-bits until the scan is complete.
        pushBack(next);
        pushBack(0xFF);
    }
    return 0xFF;
}

int JpegDecoder::read16() {
    int high = nextByte();
    return (high << 8) | nextByte();
}

void JpegDecoder::skipBytes(long count) {
    while (count > 0) {
        long available = inputEnd_ - inputPos_;
        if (available > 0) {
            long n = available < count ? available : count;
            inputPos_ += static_cast<int>(n);
            count -= n;
        } else {
            nextByte();
            --count;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Marker structure

void JpegDecoder::findStartOfImage() {
    int previous = nextByte();
    int current = nextByte();
    if (previous == 0xFF && current == 0xD8) return;
    for (int i = 0; i < 511; ++i) {
        previous = current;
        current = nextByte();
        if (previous == 0xFF && current == 0xD8) {
            // Found late: only a marker may follow. Look at that byte without taking it, so
            // the marker reader still sees the whole marker.
            bool synthetic;
            uint8_t after = nextByteSlow(synthetic);
            if (after != 0xFF) fail(NoStartOfImage);
            if (!synthetic) pushBack(after);
            return;
        }
    }
    fail(NoStartOfImage);
}

int JpegDecoder::readMarkers() {
    for (;;) {
        int code;
        do {
            code = nextByte();
        } while (code != 0xFF);
        do {
            code = nextByte();
        } while (code == 0xFF);
        if (code == 0x00) continue;
        // After the last row no table matters any more: its segment is passed over like a
        // comment, and nothing is allocated once decoding has begun.
        if (finishing_ && (code == 0xC4 || code == 0xDB)) code = 0xFE;
        switch (code) {
        case 0x01:
        case 0xD0:
        case 0xD1:
        case 0xD2:
        case 0xD3:
        case 0xD4:
        case 0xD5:
        case 0xD6:
        case 0xD7:
            // Markers without a segment: after the last row a stray one is passed over.
            if (finishing_) break;
            fail(UnexpectedMarker);
        case 0xC8:
            fail(UnexpectedMarker);
        case 0xC0:
        case 0xC1:
        case 0xC2:
        case 0xC3:
        case 0xC5:
        case 0xC6:
        case 0xC7:
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCD:
        case 0xCE:
        case 0xCF:
        case 0xD8:
        case 0xD9:
        case 0xDA:
            return code;
        case 0xC4:
            readHuffmanTables();
            break;
        case 0xCC:
            fail(ArithmeticCoding);
        case 0xDB:
            readQuantisationTables();
            break;
        case 0xDD:
            if (read16() != 4) fail(DriBadLength);
            restartInterval_ = read16();
            break;
        default: {
            int length = read16();
            if (length < 2) fail(MarkerBadLength);
            long left = length - 2;
            // Only markers before the first scan decide how the colours are coded.
            if ((code == 0xE0 || code == 0xEE) && scanComponentCount_ == 0)
                left -= readColourMarker(code, left);
            skipBytes(left);
        }
        }
    }
}

// Reads at most the first 12 bytes of an APP0 or APP14 segment of `length` bytes and notes a
// JFIF marker or an Adobe marker's colour transform; answers the bytes read.
long JpegDecoder::readColourMarker(int code, long length) {
    uint8_t head[12];
    const long n = length < 12 ? length : 12;
    for (long i = 0; i < n; ++i)
        head[i] = nextByte();
    if (code == 0xE0 && n >= 5 && std::memcmp(head, "JFIF", 5) == 0) sawJfif_ = true;
    if (code == 0xEE && n == 12 && std::memcmp(head, "Adobe", 5) == 0)
        adobeTransform_ = head[11] + 1;
    return n;
}

bool JpegDecoder::codedAsRgb() const {
    if (componentCount_ != 3 || sawJfif_) return false;
    if (adobeTransform_ != 0) return adobeTransform_ == 1;
    return components_[0].id == 'R' && components_[1].id == 'G' && components_[2].id == 'B';
}

void JpegDecoder::readHuffmanTables() {
    int length = read16();
    if (length < 2) fail(DhtBadLength);
    int remaining = length - 2;
    while (remaining != 0) {
        int classAndId = nextByte();
        uint8_t counts[17];
        counts[0] = 0;
        int sum = 0;
        for (int l = 1; l <= 16; ++l) {
            counts[l] = nextByte();
            sum += counts[l];
        }
        if (sum > 255) fail(DhtCountsTooLarge);
        uint8_t symbols[256];
        for (int i = 0; i < sum; ++i)
            symbols[i] = nextByte();
        if (remaining < sum + 17) fail(DhtBadLength);
        remaining -= sum + 17;
        int slot = (classAndId & 0x0F) + ((classAndId & 0x10) ? 4 : 0);
        if (slot >= 8) fail(DhtBadIndex);
        // Counts that over-subscribe the code space (a code that does not fit its length)
        // would overrun the look-up and the tree when the decode table is built.
        uint32_t code = 0;
        for (int l = 1; l <= 16; ++l) {
            code += counts[l];
            if (code > (1u << l)) fail(DhtCountsTooLarge);
            code <<= 1;
        }
        if (!huffCounts_[slot]) {
            huffCounts_[slot] = static_cast<uint8_t*>(allocate(17));
            huffSymbols_[slot] = static_cast<uint8_t*>(allocate(256));
        }
        std::memcpy(huffCounts_[slot], counts, 17);
        std::memset(huffSymbols_[slot], 0, 256);
        std::memcpy(huffSymbols_[slot], symbols, static_cast<size_t>(sum));
    }
}

void JpegDecoder::readQuantisationTables() {
    int length = read16();
    if (length < 2) fail(DqtBadLength);
    int remaining = length - 2;
    while (remaining != 0) {
        int precisionAndId = nextByte();
        int id = precisionAndId & 0x0F;
        if (id >= 4) fail(DqtBadIndex);
        if (!quantTables_[id]) quantTables_[id] = static_cast<uint16_t*>(allocate(128));
        uint16_t* table = quantTables_[id];
        bool wide = (precisionAndId >> 4) != 0;
        for (int k = 0; k < 64; ++k) {
            unsigned value = wide ? static_cast<unsigned>(read16()) : nextByte();
            if (simdTransform_) {
                // Natural order, pre-scaled for the AAN transform.
                int z = jpegZigZag[k];
                table[z] = jpegAanPrescale(z, value);
            } else {
                table[k] = static_cast<uint16_t>(value); // stream order, as the stores use it
            }
        }
        int size = wide ? 129 : 65;
        if (remaining < size) fail(DqtTruncated);
        remaining -= size;
    }
}

void JpegDecoder::readFrameHeader() {
    int length = read16();
    if (nextByte() != 8) fail(BadPrecision);
    int height = read16();
    if (height < 1 || height > 8192) fail(BadHeight);
    height_ = height;
    int width = read16();
    if (width < 1 || width > 8192) fail(BadWidth);
    width_ = width;
    int count = nextByte();
    if (count > 4) fail(TooManyComponents);
    if (length != 8 + 3 * count) fail(SofBadLength);
    componentCount_ = count;
    for (int i = 0; i < count; ++i) {
        Component& c = components_[i];
        c.id = nextByte();
        int factors = nextByte();
        c.h = factors >> 4;
        c.v = factors & 0x0F;
        c.quantTable = nextByte();
    }
}

void JpegDecoder::readScanHeader() {
    int length = read16();
    int count = nextByte();
    if (length - 3 != 2 * count + 3 || count < 1 || count > 4) fail(SosBadLength);
    scanComponentCount_ = count;
    for (int i = 0; i < count; ++i) {
        int id = nextByte();
        int tables = nextByte();
        int found = -1;
        for (int c = 0; c < componentCount_ && found < 0; ++c)
            if (components_[c].id == id) found = c;
        if (found < 0) fail(SosBadComponent);
        // A component named twice would give more blocks per MCU than the block order holds.
        for (int j = 0; j < i; ++j)
            if (scanComponents_[j] == found) fail(SosBadComponent);
        scanComponents_[i] = found;
        components_[found].dcSlot = tables >> 4;
        components_[found].acSlot = (tables & 0x0F) + 4;
    }
    bandStart_ = nextByte();
    bandEnd_ = nextByte();
    int approximation = nextByte();
    approxHigh_ = approximation >> 4;
    approxLow_ = approximation & 0x0F;
    if (!progressive_) {
        bandStart_ = 0;
        bandEnd_ = 63;
    }
}

void JpegDecoder::setUpFrame() {
    if (componentCount_ == 1) {
        // One component is always one block per MCU, whatever factors it declares; 1 x 1
        // also keeps the scan geometry clear of factors of 0.
        layout_ = SamplingLayout::Grey;
        components_[0].h = components_[0].v = 1;
        mcuWidth_ = mcuHeight_ = 8;
        blocksPerMcu_ = 1;
    } else if (componentCount_ == 3) {
        const Component* c = components_;
        if (c[1].h != 1 || c[1].v != 1 || c[2].h != 1 || c[2].v != 1) fail(UnsupportedSampling);
        if (c[0].h == 1 && c[0].v == 1) {
            layout_ = SamplingLayout::H1V1;
        } else if (c[0].h == 2 && c[0].v == 1) {
            layout_ = SamplingLayout::H2V1;
        } else if (c[0].h == 1 && c[0].v == 2) {
            layout_ = SamplingLayout::H1V2;
        } else if (c[0].h == 2 && c[0].v == 2) {
            layout_ = SamplingLayout::H2V2;
        } else {
            fail(UnsupportedSampling);
        }
        mcuWidth_ = 8 * c[0].h;
        mcuHeight_ = 8 * c[0].v;
        blocksPerMcu_ = c[0].h * c[0].v + 2;
    } else {
        fail(UnsupportedComponents);
    }
    hMax_ = vMax_ = 1;
    for (int i = 0; i < componentCount_; ++i) {
        if (components_[i].h > hMax_) hMax_ = components_[i].h;
        if (components_[i].v > vMax_) vMax_ = components_[i].v;
    }
    mcusPerRow_ = ceilDiv(width_, mcuWidth_);
    mcusPerColumn_ = ceilDiv(height_, mcuHeight_);

    bytesPerPixel_ = layout_ == SamplingLayout::Grey ? 1 : 4;
    lineLength_ = width_ * bytesPerPixel_;
    lineBufferLength_ = ((width_ + 15) & ~15) * bytesPerPixel_;
    lines_[0] = static_cast<uint8_t*>(allocate(static_cast<size_t>(lineBufferLength_)));
    lines_[1] = static_cast<uint8_t*>(allocate(static_cast<size_t>(lineBufferLength_)));

    maxBlocksPerRow_ = blocksPerMcu_ * mcusPerRow_;
    if (maxBlocksPerRow_ > MaxBlocksPerRow) fail(TooManyBlocks);
    size_t blocks = static_cast<size_t>(maxBlocksPerRow_);
    coefficients_ = static_cast<int16_t*>(allocate(blocks * 128));
    extents_ = static_cast<uint8_t*>(allocate(blocks));
    std::memset(extents_, 64, blocks);
    samples_ = static_cast<uint8_t*>(allocate(blocks * 64));

    linesLeft_ = height_;
    linesLeftInRow_ = 0;
    mcuRowsLeft_ = mcusPerColumn_;
    buildJpegColourTables(colour_);
}

void JpegDecoder::computeScanGeometry() {
    for (int i = 0; i < componentCount_; ++i) {
        Component& c = components_[i];
        c.blocksAcross = ceilDiv(ceilDiv(c.h * width_, hMax_), 8);
        c.blocksDown = ceilDiv(ceilDiv(c.v * height_, vMax_), 8);
    }
    if (scanComponentCount_ == 1) {
        const Component& c = components_[scanComponents_[0]];
        scanMcusPerRow_ = c.blocksAcross;
        scanMcusPerColumn_ = c.blocksDown;
        scanBlocksPerMcu_ = 1;
        mcuOrder_[0] = scanComponents_[0];
        return;
    }
    scanMcusPerRow_ = ceilDiv(ceilDiv(width_, 8), hMax_);
    scanMcusPerColumn_ = ceilDiv(ceilDiv(height_, 8), vMax_);
    int n = 0;
    for (int i = 0; i < scanComponentCount_; ++i) {
        const Component& c = components_[scanComponents_[i]];
        for (int j = 0; j < c.h * c.v; ++j) {
            if (n == MaxBlocksPerMcu) fail(TooManyBlocks);
            mcuOrder_[n++] = scanComponents_[i];
        }
    }
    scanBlocksPerMcu_ = n;
}

void JpegDecoder::checkScanTables() {
    for (int i = 0; i < scanComponentCount_; ++i) {
        const Component& c = components_[scanComponents_[i]];
        // Selectors above 3 name no table slot.
        if (bandStart_ == 0 && (c.dcSlot > 3 || !huffCounts_[c.dcSlot])) fail(HuffTableMissing);
        if (bandEnd_ > 0 && (c.acSlot > 7 || !huffCounts_[c.acSlot])) fail(HuffTableMissing);
    }
    for (int slot = 0; slot < 8; ++slot)
        if (huffCounts_[slot]) buildDecodeTable(slot);
    for (int i = 0; i < scanComponentCount_; ++i) {
        int table = components_[scanComponents_[i]].quantTable;
        if (table > 3 || !quantTables_[table]) fail(QuantTableMissing);
    }
}

void JpegDecoder::bindBlockTables() {
    for (int b = 0; b < scanBlocksPerMcu_; ++b) {
        const Component& c = components_[mcuOrder_[b]];
        blockDcTable_[b] = c.dcSlot <= 3 ? huffTables_[c.dcSlot] : nullptr;
        blockAcTable_[b] = c.acSlot <= 7 ? huffTables_[c.acSlot] : nullptr;
        blockQuant_[b] = c.quantTable <= 3 ? quantTables_[c.quantTable] : nullptr;
    }
}

void JpegDecoder::startScan() {
    checkScanTables();
    bindBlockTables();
    for (Component& c : components_)
        c.predictor = 0;
    eobRun_ = 0;
    if (restartInterval_ != 0) {
        restartsLeft_ = restartInterval_;
        nextRestart_ = 0;
    }
    // Headers are read byte by byte, so nothing was read ahead and nothing goes back.
    primeEntropyReader();
}

// ---------------------------------------------------------------------------------------------
// Transform and output lines

void JpegDecoder::transformRow() {
    if (simdTransform_) {
        const int16_t* quant[MaxBlocksPerMcu];
        for (int b = 0; b < blocksPerMcu_; ++b)
            quant[b] = reinterpret_cast<const int16_t*>(blockQuant_[b]);
        jpegIdctAanRow()(coefficients_, samples_, mcusPerRow_, blocksPerMcu_, quant);
        return;
    }
    // The row buffer keeps its coefficients: the extents rely on them.
    jpegIdctIntegerRow(coefficients_, samples_, maxBlocksPerRow_);
}

void JpegDecoder::convertLine(int r, uint8_t* line0, uint8_t* line1) {
    const uint8_t* s = samples_;
    const JpegColourTables& t = colour_;
    const auto run = rgb_ ? jpegPassRgbRun : jpegConvertChromaRun;
    switch (layout_) {
    case SamplingLayout::Grey:
        for (int m = 0; m < mcusPerRow_; ++m)
            std::memcpy(line0 + 8 * m, s + 64 * m + 8 * r, 8);
        break;
    case SamplingLayout::H1V1:
        for (int m = 0; m < mcusPerRow_; ++m, s += 192, line0 += 32) {
            const uint8_t* y = s + 8 * r;
            run(t, y + 64, y + 128, 1, {y, nullptr, line0}, {nullptr, nullptr, nullptr});
        }
        break;
    case SamplingLayout::H2V1:
        for (int m = 0; m < mcusPerRow_; ++m, s += 256, line0 += 64) {
            const uint8_t* y = s + 8 * r;
            run(t, y + 128, y + 192, 2, {y, y + 64, line0}, {nullptr, nullptr, nullptr});
        }
        break;
    case SamplingLayout::H1V2:
        // Rows r and r + 1 of the same luma block share chroma row r / 2.
        for (int m = 0; m < mcusPerRow_; ++m, s += 256, line0 += 32, line1 += 32) {
            const uint8_t* y = s + (r < 8 ? 0 : 64) + 8 * (r & 7);
            const uint8_t* c = s + 128 + 8 * (r / 2);
            run(t, c, c + 64, 1, {y, nullptr, line0}, {y + 8, nullptr, line1});
        }
        break;
    case SamplingLayout::H2V2:
        for (int m = 0; m < mcusPerRow_; ++m, s += 384, line0 += 64, line1 += 64) {
            const uint8_t* y = s + (r < 8 ? 0 : 128) + 8 * (r & 7);
            const uint8_t* c = s + 256 + 8 * (r / 2);
            run(t, c, c + 64, 2, {y, y + 64, line0}, {y + 8, y + 72, line1});
        }
        break;
    }
}

void JpegDecoder::finishImage() {
    if (!usePlanes_) {
        // Every row is decoded by now: whatever follows may end the picture, but neither a stray
        // marker nor damage between the last data and EOI takes a row away.
        dropBits();
        finishing_ = true;
        try {
            readMarkers();
        } catch (const Failure&) {}
        finishing_ = false;
    }
    totalBytes_ -= inputEnd_ - inputPos_;
}
