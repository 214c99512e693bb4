// decode-jpeg [--plain|--simd] INPUT.jpg OUTPUT
//
// Decodes INPUT with Lanternmoor's decoder and writes binary PPM (P6) for colour or PGM (P5) for
// greyscale. --plain forces the integer transform and the standard bit reader, --simd the packed
// variants; without either the decoder gets what the processor offers, as the screen saver does.
// On failure: "error NAME (CODE)" on standard error, no output file, exit code 2.
#include "base/ProcessorInfo.h"
#include "jpeg/JpegDecoder.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: decode-jpeg [--plain|--simd] INPUT.jpg OUTPUT\n");
    return 1;
}

int decodeError(int code) {
    const char* name = jpegErrorName(code);
    std::fprintf(stderr, "error %s (%d)\n", name ? name : "Unknown", code);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool useSimd = processorInfo().HasMmx;
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--plain") == 0) {
        useSimd = false;
        ++arg;
    } else if (arg < argc && std::strcmp(argv[arg], "--simd") == 0) {
        useSimd = true;
        ++arg;
    }
    if (argc - arg != 2) return usage();
    const char* inputPath = argv[arg];
    const char* outputPath = argv[arg + 1];

    std::ifstream input(inputPath, std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "decode-jpeg: cannot read %s\n", inputPath);
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(input)),
                            std::istreambuf_iterator<char>());

    MemoryInputStream stream(bytes.data(), bytes.size());
    JpegDecoder decoder;
    decoder.begin(&stream, useSimd);
    if (decoder.beginDecoding() != 0) {
        int code = decoder.errorCode();
        decoder.releaseAll();
        return decodeError(code);
    }
    const int width = decoder.width();
    const int height = decoder.height();
    const int channels = decoder.bytesPerPixel() == 1 ? 1 : 3;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * channels);
    unsigned char* out = pixels.data();
    const uint8_t* line;
    int length;
    int result;
    while ((result = decoder.decode(line, length)) == 0) {
        if (channels == 1) {
            std::memcpy(out, line, static_cast<size_t>(width));
            out += width;
        } else {
            for (int x = 0; x < width; ++x, out += 3)
                std::memcpy(out, line + 4 * x, 3);
        }
    }
    int code = decoder.errorCode();
    decoder.releaseAll();
    if (result != 1) return decodeError(code);

    std::FILE* file = std::fopen(outputPath, "wb");
    if (!file) {
        std::fprintf(stderr, "decode-jpeg: cannot write %s\n", outputPath);
        return 1;
    }
    std::fprintf(file, "P%c\n%d %d\n255\n", channels == 1 ? '5' : '6', width, height);
    bool written = std::fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
    written = std::fclose(file) == 0 && written;
    if (!written) {
        std::remove(outputPath);
        std::fprintf(stderr, "decode-jpeg: cannot write %s\n", outputPath);
        return 1;
    }
    return 0;
}
