#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes corpusFile(const std::string& name) {
    return readFile(LM_JPEG_CORPUS_DIR "/" + name + ".jpg");
}

const JpegDecoderOptions allVariants[4] = {
    {false, false}, {false, true}, {true, false}, {true, true}};

DecoderRun decode(const Bytes& file, const JpegDecoderOptions& variant, int failingRead,
                  int refusedAllocation, JpegInputStream* source) {
    MemoryInputStream memory(file.data(), file.size());
    DecoderRun d;
    d.options = variant;
    d.failingRead = failingRead;
    d.refusedAllocation = refusedAllocation;
    d.broken = [](const char* what) { ADD_FAILURE() << "decoder promise broken: " << what; };
    d.run(source ? *source : memory);
    return d;
}

StoredPixels decodePixels(const Bytes& file, const JpegDecoderOptions& variant, int byLine) {
    MemoryInputStream stream(file.data(), file.size());
    JpegDecoder decoder;
    decoder.begin(&stream, variant);
    decoder.beginDecoding();
    StoredPixels stored;
    const size_t width = static_cast<size_t>(decoder.width());
    // A guard pixel after the picture shows a write past its end.
    stored.Pixels.assign(width * decoder.height() + 1, 0xDEADBEEFu);
    const uint8_t* line;
    int length;
    while (stored.Lines < byLine && decoder.decode(line, length) == 0) {
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* p = line + (decoder.bytesPerPixel() == 1 ? x : 4 * x);
            const uint32_t grey = p[0];
            stored.Pixels[stored.Lines * width + x] =
                decoder.bytesPerPixel() == 1 ? grey * 0x010101u : (p[0] << 16) | (p[1] << 8) | p[2];
        }
        ++stored.Lines;
    }
    int more = 0;
    decoder.decodePixels(stored.Pixels.data(), more);
    stored.Lines += more;
    decoder.releaseAll();
    // Only what was decoded counts; a written guard shows as one pixel more.
    const bool guardKept = stored.Pixels.back() == 0xDEADBEEFu;
    stored.Pixels.resize(width * stored.Lines);
    if (!guardKept) stored.Pixels.push_back(0);
    return stored;
}

StoredPixels pixelsOf(const DecoderRun& run) {
    StoredPixels stored;
    stored.Lines = run.lines;
    const bool grey = run.pixels.size() == static_cast<size_t>(run.width) * run.lines;
    for (size_t i = 0; i < run.pixels.size(); i += grey ? 1 : 3)
        stored.Pixels.push_back(grey ? run.pixels[i] * 0x010101u
                                     : (run.pixels[i] << 16) | (run.pixels[i + 1] << 8) |
                                           run.pixels[i + 2]);
    return stored;
}
