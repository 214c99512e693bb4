#include "slideshow/PictureDecoding.h"

#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegInputStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
}

std::vector<uint8_t> TestPicture(const char* name) {
    std::vector<uint8_t> bytes = ReadFile(std::string(LM_TEST_PICTURES) + "/" + name);
    EXPECT_FALSE(bytes.empty()) << name << " is missing from " << LM_TEST_PICTURES;
    return bytes;
}

// Runs for the plain decoder (false) and the packed one (true).
class PictureDecoding : public testing::TestWithParam<bool> {
protected:
    bool Decode(const std::vector<uint8_t>& bytes) {
        MemoryInputStream stream(bytes.data(), bytes.size());
        return DecodePicture(stream, GetParam(), image, outcome);
    }
    Pixel At(int x, int y) const { return image.Pixels()[y * image.Width() + x]; }

    RasterImage image;
    DecodedPicture outcome;
};

TEST_P(PictureDecoding, ColourChannelsLandInTheirBytes) {
    ASSERT_TRUE(Decode(TestPicture("red.jpg")));
    ASSERT_EQ(image.Width(), 16);
    ASSERT_EQ(image.Height(), 16);
    EXPECT_EQ(outcome.Lines, 16);
    EXPECT_EQ(outcome.ErrorCode, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Pixel p = At(x, y);
            ASSERT_EQ(p >> 24, 0u) << x << "," << y;
            ASSERT_GE(PixelRed(p), 250u) << x << "," << y;
            ASSERT_LE(PixelGreen(p), 4u) << x << "," << y;
            ASSERT_LE(PixelBlue(p), 4u) << x << "," << y;
        }
}

TEST_P(PictureDecoding, GreyPicturesBecomeGreyPixels) {
    ASSERT_TRUE(Decode(TestPicture("grey.jpg")));
    ASSERT_EQ(image.Width(), 16);
    ASSERT_EQ(image.Height(), 16);
    EXPECT_EQ(outcome.ErrorCode, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Pixel p = At(x, y);
            ASSERT_EQ(PixelRed(p), PixelGreen(p)) << x << "," << y;
            ASSERT_EQ(PixelRed(p), PixelBlue(p)) << x << "," << y;
            ASSERT_EQ(p >> 24, 0u);
            // The packed transform's coarse pre-scaled tables cost a few levels at quality 100.
            ASSERT_NEAR(static_cast<int>(PixelRed(p)), 16 * x + y, GetParam() ? 6 : 2)
                << x << "," << y;
        }
}

TEST_P(PictureDecoding, APictureThatBreaksOffKeepsItsSizeWithTheRestBlack) {
    // Half of a 1024 x 768 photograph with a restart marker after every MCU row: past the end of
    // the data the decoder stops at a broken run or, at the latest, at the next restart marker.
    ASSERT_TRUE(Decode(TestPicture("cut.jpg")));
    ASSERT_EQ(image.Width(), 1024);
    ASSERT_EQ(image.Height(), 768);
    EXPECT_TRUE(outcome.ErrorCode == CorruptScan || outcome.ErrorCode == BadRestartMarker)
        << outcome.ErrorCode;
    ASSERT_GT(outcome.Lines, 0);
    ASSERT_LT(outcome.Lines, 768);
    bool anyLight = false;
    for (int y = 0; y < outcome.Lines; ++y)
        for (int x = 0; x < 1024; ++x)
            anyLight = anyLight || At(x, y) != 0;
    EXPECT_TRUE(anyLight);
    for (int y = outcome.Lines; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            ASSERT_EQ(At(x, y), 0u) << x << "," << y;
}

TEST_P(PictureDecoding, AStreamThatIsNoPictureGivesAnEmptyImage) {
    const std::string text = "not a picture at all";
    ASSERT_TRUE(Decode(std::vector<uint8_t>(text.begin(), text.end())));
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(outcome.Lines, 0);
    EXPECT_EQ(outcome.ErrorCode, NoStartOfImage);
}

TEST_P(PictureDecoding, NoMemoryForThePixelsMeansNoPicture) {
    const std::vector<uint8_t> photograph = ReadFile(std::string(LM_PICTURES_DIR) + "/116.jpg");
    ASSERT_FALSE(photograph.empty());
    const ImagingAllocateFunction previous =
        SetImagingAllocateFunction([](std::size_t) -> void* { return nullptr; });
    const bool decoded = Decode(photograph);
    SetImagingAllocateFunction(previous);
    EXPECT_FALSE(decoded);
    EXPECT_EQ(image.Pixels(), nullptr);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothDecoders, PictureDecoding, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Packed" : "Plain";
                         });

} // namespace
