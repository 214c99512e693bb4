#include "jpeg/fuzz/DecoderRun.h"

void DecoderRun::run(JpegInputStream& source) {
    auto expect = [this](bool promise, const char* what) {
        if (!promise) broken(what);
    };
    source_ = &source;
    options.heap = this;
    JpegDecoder decoder;
    decoder.begin(this, options);
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
        const int channels = decoder.componentCount() == 1 ? 1 : 3, step = channels == 1 ? 1 : 4;
        expect(decoder.componentCount() == channels && decoder.bytesPerPixel() == step &&
                   (decoder.samplingLayout() == SamplingLayout::Grey) == (channels == 1),
               "components, layout and bytes per pixel disagree");
        bool padded = true;
        while ((lastDecodeResult = decoder.decode(line, length)) == 0) {
            expect(lines++ < height && length == width * step, "a line out of shape");
            // Every byte is read, so the sanitizers see a line outside its buffer.
            for (int x = 0; x + step <= length; x += step) {
                pixels.insert(pixels.end(), line + x, line + x + channels);
                padded = padded && (step == 1 || line[x + 3] == 0);
            }
        }
        expect(padded, "a pad byte that is not 0");
        expect(allocations.size() == setUp, "an allocation after beginDecoding");
        expect(decoder.decode(line, length) == (complete() ? 1 : -1), "the end did not stay");
    }
    errorCode = decoder.errorCode();
    bytesConsumed = decoder.bytesConsumed();
    expect(static_cast<int>(held_.size()) == decoder.allocatedBlocks(),
           "a block outside the allocation table");
    if (complete()) {
        expect(errorCode == 0 && lines == height, "all lines, yet not all lines or an error");
        expect(bytesConsumed >= 0 && bytesConsumed <= delivered_, "more bytes consumed");
    } else if (beginDecodingResult != -2) {
        expect(errorCode < 0 && lastDecodeResult == (beginDecodingResult == 0 ? CorruptScan : 0),
               "a failure without a code or reported by the wrong result");
        expect(decoder.allocatedBlocks() == 0 && detaches_ == 1,
               "a failure left blocks or the stream attached");
    }
    decoder.releaseAll();
    expect(decoder.allocatedBlocks() == 0 && held_.empty(), "blocks after releaseAll");
    expect(decoder.decode(line, length) == -1 && decoder.beginDecoding() == -1,
           "calls after releaseAll still found something");
    decoder.releaseAll();
    expect(attaches_ == 1 && detaches_ == 1, "not attached and detached once");
}
