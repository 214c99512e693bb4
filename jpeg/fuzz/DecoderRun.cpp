#include "jpeg/fuzz/DecoderRun.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

// Forwards to a stream, counting attach, detach and the bytes delivered; one read fails.
class CountingStream : public JpegInputStream {
public:
    CountingStream(JpegInputStream& inner, int failingRead, DecoderRun& run)
        : inner_(inner), fail_(failingRead), run_(run) {}
    int read(uint8_t* buffer, int maxBytes, bool& endOfStream) override {
        if (attaches != 1 || detaches != 0) run_.broken("a read outside attach and detach");
        if (reads_++ == fail_) return -1;
        const int n = inner_.read(buffer, maxBytes, endOfStream);
        delivered += n > 0 ? n : 0;
        return n;
    }
    void attach() override { inner_.attach(), ++attaches; }
    void detach() override { inner_.detach(), ++detaches; }
    int attaches = 0, detaches = 0;
    long delivered = 0;

private:
    JpegInputStream& inner_;
    int fail_, reads_ = 0;
    DecoderRun& run_;
};

// Counts and measures blocks; refuses one allocation.
class CountingHeap : public JpegHeap {
public:
    CountingHeap(int refuse, DecoderRun& run) : refuse_(refuse), run_(run) {}
    void* allocateZeroed(size_t bytes) override {
        if (++calls_ == refuse_) return nullptr;
        void* block = std::calloc(1, bytes);
        held[block] = bytes;
        run_.allocations.push_back(bytes);
        run_.peakHeap = std::max(run_.peakHeap, bytesHeld += bytes);
        return block;
    }
    void release(void* block) override {
        const auto found = held.find(block);
        if (found == held.end()) return run_.broken("a block released twice or never given");
        bytesHeld -= found->second;
        held.erase(found);
        std::free(block);
    }
    std::map<void*, size_t> held;

private:
    int refuse_, calls_ = 0;
    size_t bytesHeld = 0;
    DecoderRun& run_;
};

} // namespace

void DecoderRun::run(JpegInputStream& source) {
    auto expect = [this](bool promise, const char* what) {
        if (!promise) broken(what);
    };
    CountingStream stream(source, failingRead, *this);
    CountingHeap heap(refusedAllocation, *this);
    options.heap = &heap;
    JpegDecoder decoder;
    decoder.begin(&stream, options);
    errorAfterBegin = decoder.errorCode();
    progressive = decoder.isProgressive();
    width = decoder.width();
    height = decoder.height();
    const uint8_t* line = nullptr;
    int length = 0;
    expect(decoder.decode(line, length) == -1, "a line before beginDecoding");
    const bool small = parseOnlyAbove == 0 || static_cast<long>(width) * height <= parseOnlyAbove;
    beginDecodingResult = errorAfterBegin != 0 || small ? decoder.beginDecoding() : -2;
    expect(beginDecodingResult != -1 || decoder.errorCode() < 0, "beginDecoding failed silently");
    if (beginDecodingResult == 0) {
        const size_t setUp = allocations.size();
        expect(decoder.beginDecoding() == 0, "beginDecoding again changed something");
        bytesPerPixel = decoder.bytesPerPixel();
        expect(decoder.componentCount() == (bytesPerPixel == 1 ? 1 : 3) &&
                   (decoder.samplingLayout() == SamplingLayout::Grey) == (bytesPerPixel == 1),
               "components, layout and bytes per pixel disagree");
        bool padded = true;
        while ((lastDecodeResult = decoder.decode(line, length)) == 0) {
            expect(length == width * bytesPerPixel && lines < height, "a line out of shape");
            for (int x = 3; bytesPerPixel == 4 && x < length; x += 4)
                padded = padded && line[x] == 0;
            if (onLine) onLine(lines, line, length);
            ++lines;
        }
        expect(padded, "a pad byte that is not 0");
        expect(allocations.size() == setUp, "an allocation after beginDecoding");
        expect(decoder.decode(line, length) == (complete() ? 1 : -1), "the end did not stay");
    }
    errorCode = decoder.errorCode();
    bytesConsumed = decoder.bytesConsumed();
    expect(static_cast<int>(heap.held.size()) == decoder.allocatedBlocks(),
           "a block outside the allocation table");
    if (complete()) {
        expect(errorCode == 0 && lines == height, "all lines, yet not all lines or an error");
        expect(bytesConsumed >= 0 && bytesConsumed <= stream.delivered, "more bytes consumed");
    } else if (beginDecodingResult != -2) {
        expect(errorCode < 0, "a failure without a code");
        expect(lastDecodeResult == (beginDecodingResult == 0 ? CorruptScan : 0),
               "a failure reported by the wrong result");
        expect(decoder.allocatedBlocks() == 0 && stream.detaches == 1,
               "a failure left blocks or the stream attached");
    }
    decoder.releaseAll();
    expect(decoder.allocatedBlocks() == 0 && heap.held.empty(), "blocks after releaseAll");
    expect(decoder.decode(line, length) == -1 && decoder.beginDecoding() == -1,
           "calls after releaseAll still found something");
    decoder.releaseAll();
    expect(stream.attaches == 1 && stream.detaches == 1, "not attached and detached once");
}
