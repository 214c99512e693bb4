// Differential tests against libjpeg-turbo's djpeg on the corpus of make-corpus.sh, the promise
// that both bit readers deliver the same bits on every file, whole or cut short, and progressive
// files without EOI.
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

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

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
        m = std::max(m, e);
        squares += e * e;
    }
    double mse = squares / static_cast<double>(a.pixels.size());
    d.psnr = mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
    return d;
}

} // namespace

TEST(Corpus, EveryVariantStaysWithinTheToleranceOfDjpegOnEveryPixelAndBothReadersAgree) {
    const int colourTolerance[3] = {4, 3, 4};
    std::ifstream list(corpusDir() + "/corpus.txt");
    std::vector<std::string> names{std::istream_iterator<std::string>(list), {}};
    ASSERT_GE(names.size(), 50u);
    double worst[3] = {99, 99, 99}; // plain vs int, simd vs fast, simd vs int
    for (size_t n = 0; n < names.size(); ++n) {
        SCOPED_TRACE(names[n]);
        const Bytes file = corpusFile(names[n]);
        const Picture reference = readPnm(corpusDir() + "/" + names[n] + ".pnm");
        for (bool aan : {false, true}) {
            SCOPED_TRACE(aan ? "aan" : "integer");
            const Picture& expected =
                aan ? readPnm(corpusDir() + "/" + names[n] + ".fast.pnm") : reference;
            Decoded d = decode(file, {aan, false});
            ASSERT_TRUE(d.complete()) << jpegErrorName(d.errorCode);
            ASSERT_EQ(d.picture.width, expected.width);
            ASSERT_EQ(d.picture.height, expected.height);
            ASSERT_EQ(d.picture.channels, expected.channels);
            EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
            Difference diff = compare(d.picture, expected);
            for (int c = 0; c < expected.channels; ++c)
                EXPECT_LE(diff.maxPerChannel[c], expected.channels == 1 ? 1 : colourTolerance[c])
                    << "channel " << c;
            worst[aan] = std::min(worst[aan], diff.psnr);
            if (aan) worst[2] = std::min(worst[2], compare(d.picture, reference).psnr);
            // Once the data are used up the source delivers FF D9 FF D9 ...: a progressive file
            // that ends without EOI decodes like the whole file, and progressive scans always
            // take the standard reader.
            if (d.progressive) {
                Decoded cut = decode(Bytes(file.begin(), file.end() - 2), {aan, false});
                EXPECT_TRUE(cut.complete() && cut.picture.pixels == d.picture.pixels);
                EXPECT_EQ(cut.bytesConsumed, static_cast<long>(file.size()) - 2);
                continue;
            }
            EXPECT_TRUE(decode(file, {aan, true}).picture.pixels == d.picture.pixels);
            // Cut short, the sequential readers see the same bytes as data.
            const size_t cuts[3] = {file.size() / 3, file.size() / 2 + 1, file.size() - 3};
            Bytes cut(file.begin(), file.begin() + static_cast<long>(cuts[n % 3]));
            Decoded standard = decode(cut, {aan, false}), packed = decode(cut, {aan, true});
            EXPECT_EQ(packed.errorCode, standard.errorCode) << "cut at " << cut.size();
            EXPECT_EQ(packed.lines, standard.lines) << "cut at " << cut.size();
            EXPECT_TRUE(packed.picture.pixels == standard.picture.pixels)
                << "cut at " << cut.size();
        }
    }
    std::printf("lowest PSNR: plain vs djpeg -dct int %.2f dB, simd vs djpeg -dct fast %.2f dB, "
                "simd vs djpeg -dct int %.2f dB\n",
                worst[0], worst[1], worst[2]);
    EXPECT_GE(worst[0], 44.0);
    EXPECT_GE(worst[1], 44.0);
}
