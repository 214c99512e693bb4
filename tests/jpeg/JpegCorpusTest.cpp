// Differential tests against libjpeg-turbo's djpeg on the corpus of make-corpus.sh, and the
// promise that both bit readers deliver the same bits on every file, whole or cut short.
//
// Tolerances, per channel on every pixel:
// - grey +-1: the integer transform runs rows first where libjpeg-turbo runs columns first,
//   so a sample may round the other way; the AAN transform likewise against -dct fast.
// - colour R +-4, G +-3, B +-4: luma and each chroma sample may each be off by 1 as above, the
//   chroma difference is amplified by 1.402 (R), 0.344 + 0.714 (G) and 1.772 (B), and this
//   decoder centres chroma at 127.5 where libjpeg centres it at 128 (R +0.70, G -0.53, B
//   +0.89); with two roundings that reaches 4, 3 and 4.
// The packed path is compared with djpeg -dct fast (the same AAN factorisation); against
// -dct int its error is reported as PSNR.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

struct Difference {
    int maxPerChannel[3] = {0, 0, 0};
    double psnr = 0;
};

Difference compare(const Picture& a, const Picture& b) {
    Difference d;
    double squares = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        int e = std::abs(a.pixels[i] - b.pixels[i]);
        int& m = d.maxPerChannel[i % static_cast<size_t>(a.channels)];
        if (e > m) m = e;
        squares += e * e;
    }
    double mse = squares / static_cast<double>(a.pixels.size());
    d.psnr = mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
    return d;
}

bool isProgressive(const Bytes& file) {
    MemoryInputStream stream(file.data(), file.size());
    JpegDecoder decoder;
    decoder.begin(&stream, false);
    bool progressive = decoder.isProgressive();
    decoder.releaseAll();
    return progressive;
}

Decoded decodeVariant(const Bytes& file, bool simdTransform, bool simdBitReader) {
    JpegDecoderOptions options;
    options.simdTransform = simdTransform;
    options.simdBitReader = simdBitReader;
    return decodeBytes(file, options);
}

} // namespace

TEST(Corpus, BothPathsStayWithinTheToleranceOfDjpegOnEveryPixel) {
    const int colourTolerance[3] = {4, 3, 4};
    std::vector<std::string> names = corpusNames();
    ASSERT_GE(names.size(), 50u);
    double worstPlain = 99, worstSimd = 99, worstSimdToInt = 99;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Bytes file = readFile(corpusDir() + "/" + name + ".jpg");
        Picture reference = readPnm(corpusDir() + "/" + name + ".pnm");
        Picture fastReference = readPnm(corpusDir() + "/" + name + ".fast.pnm");
        for (bool simd : {false, true}) {
            Decoded d = decodeVariant(file, simd, simd);
            ASSERT_EQ(d.lastDecodeResult, 1) << jpegErrorName(d.errorCode);
            ASSERT_EQ(d.picture.width, reference.width);
            ASSERT_EQ(d.picture.height, reference.height);
            ASSERT_EQ(d.picture.channels, reference.channels);
            EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
            const Picture& expected = simd ? fastReference : reference;
            Difference diff = compare(d.picture, expected);
            for (int c = 0; c < expected.channels; ++c)
                EXPECT_LE(diff.maxPerChannel[c], expected.channels == 1 ? 1 : colourTolerance[c])
                    << (simd ? "simd" : "plain") << " channel " << c;
            (simd ? worstSimd : worstPlain) = std::min(simd ? worstSimd : worstPlain, diff.psnr);
            if (simd) worstSimdToInt = std::min(worstSimdToInt, compare(d.picture, reference).psnr);
        }
    }
    std::printf("lowest PSNR: plain vs djpeg -dct int %.2f dB, simd vs djpeg -dct fast %.2f dB, "
                "simd vs djpeg -dct int %.2f dB\n",
                worstPlain, worstSimd, worstSimdToInt);
    EXPECT_GE(worstPlain, 44.0);
    EXPECT_GE(worstSimd, 44.0);
}

TEST(Corpus, BothBitReadersDeliverTheSameBitsOnEveryFile) {
    for (const std::string& name : corpusNames()) {
        SCOPED_TRACE(name);
        Bytes file = readFile(corpusDir() + "/" + name + ".jpg");
        // Progressive scans always take the standard reader: nothing to compare.
        if (isProgressive(file)) continue;
        for (bool simdTransform : {false, true}) {
            Decoded standard = decodeVariant(file, simdTransform, false);
            Decoded packed = decodeVariant(file, simdTransform, true);
            ASSERT_EQ(standard.lastDecodeResult, 1);
            EXPECT_EQ(packed.lastDecodeResult, 1);
            EXPECT_TRUE(packed.picture.pixels == standard.picture.pixels);
        }
    }
}

TEST(Corpus, FilesCutShortDecodeOnAlikeWithBothReaders) {
    // The exhausted source feeds FF D9 FF D9 ... as data: both readers see the same bytes.
    for (const char* name : {"photo-116", "re-restart1", "re-h1v1", "s33x47-2x2", "re-grey"}) {
        Bytes whole = readFile(corpusDir() + "/" + name + ".jpg");
        for (size_t cut : {whole.size() / 3, whole.size() / 2 + 1, whole.size() - 3}) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            Bytes file(whole.begin(), whole.begin() + static_cast<long>(cut));
            Decoded standard = decodeVariant(file, false, false);
            Decoded packed = decodeVariant(file, false, true);
            EXPECT_EQ(packed.errorCode, standard.errorCode);
            EXPECT_EQ(packed.linesDelivered, standard.linesDelivered);
            EXPECT_TRUE(packed.picture.pixels == standard.picture.pixels);
            EXPECT_TRUE(standard.lastDecodeResult == 1 || standard.errorCode < 0);
        }
    }
}

TEST(Corpus, SeededByteDamageEndsInLinesOrACode) {
    // A short sweep for the sanitizer builds; the long runs belong to the fuzzer.
    Bytes base = readFile(corpusDir() + "/s33x47-restart1-grey.jpg");
    Bytes colour = readFile(corpusDir() + "/s17x15-2x2.jpg");
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (const Bytes* original : {&base, &colour}) {
        for (int n = 0; n < 400; ++n) {
            Bytes file = *original;
            int changes = 1 + static_cast<int>(next() >> 16) % 4;
            for (int i = 0; i < changes; ++i)
                file[(next() >> 8) % file.size()] = static_cast<uint8_t>(next() >> 24);
            for (bool simd : {false, true}) {
                Decoded d = decodeVariant(file, simd, simd);
                EXPECT_TRUE(d.lastDecodeResult == 1 || d.errorCode < 0) << n;
                if (d.lastDecodeResult == 1) {
                    EXPECT_EQ(d.linesDelivered, d.picture.height);
                }
            }
        }
    }
}
