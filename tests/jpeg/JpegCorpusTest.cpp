// The corpus of make-corpus.sh against libjpeg-turbo's djpeg, both bit readers on every file,
// whole or cut short; damaged files; and the inputs the fuzzer turned into crashes.
//
// Tolerances, per channel on every pixel:
// - grey +-1: the integer transform runs rows first where libjpeg-turbo runs columns first,
//   so a sample may round the other way; the AAN transform likewise against -dct fast.
// - colour R +-4, G +-3, B +-4: luma and each chroma sample may each be off by 1 as above, the
//   chroma difference is amplified by 1.402 (R), 0.344 + 0.714 (G) and 1.772 (B), and this
//   decoder centres chroma at 127.5 where libjpeg centres it at 128 (R +0.70, G -0.53, B
//   +0.89); with two roundings that reaches 4, 3 and 4.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <tuple>

// Width, height and samples of a PNM file of the corpus.
static std::tuple<int, int, Bytes> readPnm(const std::string& name) {
    std::ifstream in(LM_JPEG_CORPUS_DIR "/" + name, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxValue;
    in >> magic >> width >> height >> maxValue;
    in.get(); // the one white-space byte before the samples
    return {width, height, Bytes(std::istreambuf_iterator<char>(in), {})};
}

TEST(Corpus, EveryVariantStaysWithinTheToleranceOfDjpegOnEveryPixelAndBothReadersAgree) {
    std::ifstream list(LM_JPEG_CORPUS_DIR "/corpus.txt");
    const std::vector<std::string> names{std::istream_iterator<std::string>(list), {}};
    ASSERT_GE(names.size(), 50u);
    for (size_t n = 0; n < names.size(); ++n) {
        const Bytes file = corpusFile(names[n]);
        for (bool aan : {false, true}) {
            SCOPED_TRACE(names[n] + (aan ? " (aan)" : " (integer)"));
            const auto [width, height, samples] = readPnm(names[n] + (aan ? ".fast.pnm" : ".pnm"));
            const DecoderRun d = decode(file, {aan, false});
            ASSERT_TRUE(d.complete()) << jpegErrorName(d.errorCode);
            // Straight into a pixel buffer, from the first line or the second: the same pixels.
            EXPECT_TRUE(decodePixels(file, {aan, aan}, static_cast<int>(n % 2)) == pixelsOf(d));
            ASSERT_TRUE(d.width == width && d.height == height &&
                        d.pixels.size() == samples.size());
            EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
            const bool grey = samples.size() == static_cast<size_t>(width) * height;
            const int tolerance[3] = {grey ? 1 : 4, 3, 4};
            for (size_t i = 0; i < samples.size(); ++i)
                if (std::abs(d.pixels[i] - samples[i]) > tolerance[grey ? 0 : i % 3]) {
                    ADD_FAILURE() << "sample " << i << ": " << +d.pixels[i] << " for "
                                  << +samples[i];
                    break;
                }
            // Once the data are used up the source delivers FF D9 FF D9 ...: a progressive file
            // that ends without EOI decodes like the whole file, and progressive scans always
            // take the standard reader.
            if (d.progressive) {
                const DecoderRun cut = decode(Bytes(file.begin(), file.end() - 2), {aan, false});
                EXPECT_TRUE(cut.complete() && cut.pixels == d.pixels);
                EXPECT_EQ(cut.bytesConsumed, static_cast<long>(file.size()) - 2);
                continue;
            }
            EXPECT_TRUE(decode(file, {aan, true}).pixels == d.pixels);
            // Cut short, the sequential readers see the same bytes as data.
            const size_t cuts[3] = {file.size() / 3, file.size() / 2 + 1, file.size() - 3};
            const Bytes cut(file.begin(), file.begin() + static_cast<long>(cuts[n % 3]));
            const DecoderRun standard = decode(cut, {aan, false}),
                             packed = decode(cut, {aan, true});
            EXPECT_TRUE(packed.errorCode == standard.errorCode && packed.pixels == standard.pixels)
                << "cut at " << cut.size();
        }
    }
}

// Shipped photographs of each layout (2 x 2 and 2 x 1 baseline, progressive) and a small grey
// picture with restart interval 1, cut short at every length on a coarse grid and hit by 600
// seeded changes of one to three bytes, half of them in the markers and tables at the front. The
// checked run watches each end in all of its lines or in a negative code, the sanitizer builds
// watch every access. The seed is fixed, so every run sees the same files; the fuzzer explores
// further.
TEST(Damage, EveryCutAndEveryChangedByteEndsInLinesOrACode) {
    for (const char* name : {"photo-116", "photo-124", "photo-128", "s33x47-restart1-grey"}) {
        const Bytes whole = corpusFile(name);
        const size_t cutStep = whole.size() > 4096 ? 2048 : 16;
        for (size_t length = 0; length < whole.size(); length += cutStep) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(length));
            const bool simd = length / cutStep % 2;
            decode(Bytes(whole.begin(), whole.begin() + static_cast<long>(length)), {simd, simd});
        }
        uint32_t seed = 0x4C4D4F52u;
        int complete = 0;
        for (int n = 0; n < 600; ++n) {
            Bytes file = whole;
            std::string what = name;
            for (int i = 0; i <= n % 3; ++i) {
                seed = seed * 1664525u + 1013904223u;
                const size_t at =
                    (seed >> 8) % (n % 2 ? whole.size() : std::min<size_t>(whole.size(), 1024));
                file[at] ^= static_cast<uint8_t>(1 + (seed >> 24) % 255);
                what += " byte " + std::to_string(at) + " = " + std::to_string(file[at]);
            }
            SCOPED_TRACE(what);
            const bool simd = n / 2 % 2;
            const DecoderRun d = decode(file, {simd, simd});
            complete += d.complete();
            if (n % 10 == 0) {
                EXPECT_TRUE(decodePixels(file, {simd, simd}, n % 3) == pixelsOf(d));
            }
        }
        EXPECT_TRUE(complete > 0 && complete < 600) << name << ": " << complete;
    }
}

TEST(Regressions, EveryInputTheFuzzerTurnedIntoACrashEndsAsRecorded) {
    std::ifstream in(LM_JPEG_REGRESSIONS_DIR "/expected.txt");
    int files = 0;
    for (std::string line, name, outcome; std::getline(in, line);) {
        if (!(std::istringstream(line) >> name >> outcome) || name[0] == '#') continue;
        ++files;
        for (bool simd : {false, true}) {
            const DecoderRun d = decode(readFile(LM_JPEG_REGRESSIONS_DIR "/" + name), {simd, simd});
            const char* code = jpegErrorName(d.errorCode);
            EXPECT_EQ(d.complete() ? "lines" : code ? code : "none", outcome) << name << simd;
        }
    }
    EXPECT_GE(files, 3);
}
