// libFuzzer target: the decoder's whole public call sequence (begin, beginDecoding, every
// decode, releaseAll) on any bytes, once with each setting of useSimd. Built only by the fuzz
// preset (clang with ASan and UBSan); tools/fuzz-decoder builds and runs it.
//
// Besides the sanitizers' findings it traps when the decoder breaks its own promises: a line of
// the wrong length, fewer or more lines than the height, a failure without a code, a block or a
// stream attachment left behind by releaseAll.
#include "jpeg/JpegDecoder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Frames above this many pixels are only parsed: they run the same code as smaller ones, only
// slower, and would eat the fuzzer's time.
constexpr long PixelLimit = 1024L * 1024L;

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "decoder promise broken: %s\n", what);
    std::abort();
}

// Where the sum of every delivered byte goes, so that the reads are not optimised away.
volatile unsigned sink;

class TrackingHeap final : public JpegHeap {
public:
    void* allocateZeroed(size_t bytes) override {
        void* block = std::calloc(1, bytes);
        if (block) ++outstanding;
        return block;
    }
    void release(void* block) override {
        --outstanding;
        std::free(block);
    }
    int outstanding = 0;
};

class TrackingStream final : public JpegInputStream {
public:
    TrackingStream(const uint8_t* data, size_t size) : inner_(data, size) {}
    int read(uint8_t* buffer, int maxBytes, bool& endOfStream) override {
        require(attaches == 1 && detaches == 0, "read outside attach and detach");
        return inner_.read(buffer, maxBytes, endOfStream);
    }
    void attach() override { ++attaches; }
    void detach() override { ++detaches; }
    int attaches = 0;
    int detaches = 0;

private:
    MemoryInputStream inner_;
};

void decodeAll(const uint8_t* data, size_t size, bool useSimd) {
    TrackingHeap heap;
    TrackingStream stream(data, size);
    JpegDecoderOptions options;
    options.simdTransform = options.simdBitReader = useSimd;
    options.heap = &heap;
    JpegDecoder decoder;
    decoder.begin(&stream, options);
    bool small = static_cast<long>(decoder.width()) * decoder.height() <= PixelLimit;
    if (decoder.errorCode() != 0 || small) {
        int result = decoder.beginDecoding();
        require(result == 0 || (result == -1 && decoder.errorCode() < 0), "beginDecoding result");
        if (result == 0) {
            const int expectedLength = decoder.width() * decoder.bytesPerPixel();
            const uint8_t* line = nullptr;
            int length = 0;
            int lines = 0;
            unsigned sum = 0;
            while ((result = decoder.decode(line, length)) == 0) {
                require(length == expectedLength, "line length");
                // Every byte handed out is read, so the sanitizer sees a line outside its buffer.
                for (int i = 0; i < length; ++i)
                    sum += line[i];
                ++lines;
                require(lines <= decoder.height(), "more lines than the height");
            }
            if (result == 1) {
                require(lines == decoder.height(), "fewer lines than the height");
                require(decoder.bytesConsumed() >= 0 &&
                            decoder.bytesConsumed() <= static_cast<long>(size),
                        "bytes consumed");
                require(decoder.decode(line, length) == 1, "decode after the last line");
            } else {
                require(result == CorruptScan && decoder.errorCode() < 0, "decode failure");
                require(decoder.decode(line, length) == -1, "decode after a failure");
            }
            sink = sum;
        }
    }
    if (decoder.errorCode() != 0) {
        require(decoder.allocatedBlocks() == 0 && heap.outstanding == 0, "blocks after failure");
        require(stream.detaches == 1, "stream not detached by the failure");
    }
    decoder.releaseAll();
    require(decoder.allocatedBlocks() == 0 && heap.outstanding == 0, "blocks after releaseAll");
    require(stream.attaches == 1 && stream.detaches == 1, "attach and detach once each");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decodeAll(data, size, false);
    decodeAll(data, size, true);
    return 0;
}
