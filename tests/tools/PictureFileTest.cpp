// The PPM reader of prepare-picture (the tool itself: prepare-picture-test.sh).
#include "tools/prepare-picture/PictureFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

TEST(PpmReader, ReadsSamplesWithCommentsAndSmallMaxvalsAndRefusesDamagedFilesWithAReason) {
    auto read = [](const std::string& text, RasterImage& image, std::string& error) {
        return ReadPpm(std::vector<std::uint8_t>(text.begin(), text.end()), image, error);
    };
    RasterImage image;
    std::string error;
    // Samples scaled to 255 and rounded: 2 x 255 / 7 = 72.9, 1 x 255 / 7 = 36.4.
    ASSERT_TRUE(read("P6 # made by hand\n2 1\n7\n\x07\x02\x00\x01\x00\x00"s, image, error));
    EXPECT_TRUE(image.Width() == 2 && image.Height() == 1 &&
                image.Pixels()[0] == PackPixel(255, 73, 0) &&
                image.Pixels()[1] == PackPixel(36, 0, 0));
    // A grey map, cut short, no pixels, beyond any screen, 16-bit samples, no maxval, no data
    // separator, a negative size, nothing.
    for (const std::string& text :
         {"P5\n1 1\n255\n\x01"s, "P6\n2 1\n255\n\x01\x02\x03\x04\x05"s, "P6\n0 5\n255\n"s,
          "P6\n99999 99999\n255\n"s, "P6\n1 1\n65535\n\x01\x02\x03\x04\x05\x06"s, "P6\n1 1"s,
          "P6\n1 1\n255"s, "P6\n-1 1\n255\n"s, ""s}) {
        RasterImage damaged;
        error.clear();
        EXPECT_FALSE(read(text, damaged, error)) << text;
        EXPECT_TRUE(!error.empty() && damaged.Pixels() == nullptr) << text;
    }
}
