// RGB-coded files against djpeg (the rgb-* files of make-corpus.sh, listed in rgb.txt with how
// djpeg takes them): the components pass through unchanged where an Adobe marker (transform 0) or
// their names say R, G, B, and are converted as Y, Cb, Cr where a JFIF marker or the Adobe
// transform says so, on both paths.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

TEST(RgbCoded, ComponentsPassThroughUnchangedWhereDjpegTakesThemAsRgbAndAreConvertedOtherwise) {
    std::ifstream list(corpusDir() + "/rgb.txt");
    std::string name, how;
    int files = 0;
    while (list >> name >> how) {
        ++files;
        SCOPED_TRACE(name);
        const Bytes file = corpusFile(name);
        for (const bool packed : {false, true}) {
            const Picture expected =
                readPnm(corpusDir() + "/" + name + (packed ? ".fast.pnm" : ".pnm"));
            const Decoded d = decode(file, {packed, packed});
            ASSERT_TRUE(d.complete()) << jpegErrorName(d.errorCode);
            ASSERT_EQ(d.picture.width, expected.width);
            ASSERT_EQ(d.picture.height, expected.height);
            ASSERT_EQ(d.picture.channels, 3);
            // Passed through, each channel differs from djpeg's by the transform's rounding only;
            // converted, by the colour conversion's tolerance of the corpus test.
            const int tolerance[3] = {how == "rgb" ? 1 : 4, how == "rgb" ? 1 : 3,
                                      how == "rgb" ? 1 : 4};
            int worst[3] = {};
            for (size_t i = 0; i < expected.pixels.size(); ++i)
                worst[i % 3] =
                    std::max(worst[i % 3], std::abs(d.picture.pixels[i] - expected.pixels[i]));
            for (int c = 0; c < 3; ++c)
                EXPECT_LE(worst[c], tolerance[c])
                    << (packed ? "packed" : "plain") << " channel " << c;
        }
    }
    EXPECT_EQ(files, 8);
}
