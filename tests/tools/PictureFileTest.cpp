#include "tools/prepare-picture/PictureFile.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

template <std::size_t N> std::vector<std::uint8_t> Bytes(const char (&text)[N]) {
    return std::vector<std::uint8_t>(text, text + N - 1); // zero bytes included
}

} // namespace

TEST(PpmReader, ReadsSamplesIntoPixelsWithCommentsAndSmallMaxvals) {
    RasterImage image;
    std::string error;
    ASSERT_TRUE(
        ReadPpm(Bytes("P6 # made by hand\n2 1\n255\n\x01\x02\x03\xFF\x80\x00"), image, error))
        << error;
    ASSERT_EQ(std::make_pair(image.Width(), image.Height()), std::make_pair(2, 1));
    EXPECT_EQ(std::vector<Pixel>(image.Pixels(), image.Pixels() + 2),
              (std::vector<Pixel>{PackPixel(1, 2, 3), PackPixel(255, 128, 0)}));
    ASSERT_TRUE(ReadPpm(Bytes("P6\n1 1\n15\n\x0F\x07\x00"), image, error));
    EXPECT_EQ(image.Pixels()[0], PackPixel(255, 119, 0));
}

TEST(PpmReader, RefusesDamagedFilesWithAReason) {
    const std::string damaged[] = {
        "P5\n1 1\n255\n\x01",         // grey map
        "P6\n2 2\n255\n\x01\x02\x03", // cut short
        "P6\n0 5\n255\n",             // no pixels
        "P6\n99999 99999\n255\n",     // beyond any screen
        "P6\n1 1\n65535\n\x01\x02\x03\x04\x05\x06",
        "P6\n1 1",      // no maxval
        "P6\n1 1\n255", // no data separator
        "P6\n-1 1\n255\n",
        "",
    };
    for (const std::string& text : damaged) {
        RasterImage image;
        std::string error;
        EXPECT_FALSE(ReadPpm(Bytes(text), image, error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(image.Pixels(), nullptr);
    }
}
