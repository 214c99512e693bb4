#include "slideshow/PictureDecoding.h"

#include "imaging/RasterImage.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegInputStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << path << " is missing";
    return bytes;
}

// Runs for the plain decoder (false) and the packed one (true).
class PictureDecoding : public testing::TestWithParam<bool> {
protected:
    bool Decode(const std::vector<uint8_t>& bytes) {
        MemoryInputStream stream(bytes.data(), bytes.size());
        return DecodePicture(stream, GetParam(), image, outcome);
    }
    bool DecodeTestPicture(const char* name) {
        return Decode(ReadFile(std::string(LM_TEST_PICTURES) + "/" + name));
    }
    // Size, lines delivered and error code.
    std::tuple<int, int, int, int> Outcome() const {
        return {image.Width(), image.Height(), outcome.Lines, outcome.ErrorCode};
    }

    RasterImage image;
    DecodedPicture outcome;
};

TEST_P(PictureDecoding, ColourChannelsLandInTheirBytesAndGreyBecomesGrey) {
    // The packed transform's coarse pre-scaled tables cost a few levels at quality 100.
    const int greyTolerance = GetParam() ? 6 : 2;
    for (const char* name : {"red.jpg", "grey.jpg"}) {
        ASSERT_TRUE(DecodeTestPicture(name));
        ASSERT_EQ(Outcome(), std::make_tuple(16, 16, 16, 0)) << name;
        for (int i = 0; i < 16 * 16; ++i) {
            const Pixel p = image.Pixels()[i];
            const int red = PixelRed(p), green = PixelGreen(p), blue = PixelBlue(p);
            // The grey picture holds 16 x + y at column x, row y.
            ASSERT_TRUE(p >> 24 == 0 && (name[0] == 'r' ? red >= 250 && green <= 4 && blue <= 4
                                                        : red == green && red == blue &&
                                                              std::abs(red - 16 * (i % 16) -
                                                                       i / 16) <= greyTolerance))
                << name << " at " << i % 16 << "," << i / 16 << ": " << std::hex << p;
        }
    }
}

TEST_P(PictureDecoding, APictureThatBreaksOffKeepsItsSizeWithTheRestBlack) {
    // Half of a 1024 x 768 photograph with a restart marker after every MCU row: past the end of
    // the data the decoder stops at a broken run or, at the latest, at the next restart marker.
    // A pixel buffer that comes dirty, as the heap may give it.
    const ImagingAllocateFunction previous = SetImagingAllocateFunction([](std::size_t bytes) {
        void* block = std::malloc(bytes);
        return block != nullptr ? std::memset(block, 0xA5, bytes) : nullptr;
    });
    const bool decoded = DecodeTestPicture("cut.jpg");
    SetImagingAllocateFunction(previous);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(image.Width(), 1024);
    ASSERT_EQ(image.Height(), 768);
    EXPECT_TRUE(outcome.ErrorCode == CorruptScan || outcome.ErrorCode == BadRestartMarker)
        << outcome.ErrorCode;
    ASSERT_TRUE(outcome.Lines > 0 && outcome.Lines < 768) << outcome.Lines;
    const Pixel *all = image.Pixels(), *rest = all + outcome.Lines * 1024;
    EXPECT_TRUE(std::any_of(all, rest, [](Pixel p) { return p != 0; }));
    EXPECT_TRUE(std::all_of(rest, all + 768 * 1024, [](Pixel p) { return p == 0; }));
}

TEST_P(PictureDecoding, AStreamThatIsNoPictureGivesAnEmptyImage) {
    const std::string text = "not a picture at all";
    ASSERT_TRUE(Decode(std::vector<uint8_t>(text.begin(), text.end())));
    EXPECT_EQ(Outcome(), std::make_tuple(0, 0, 0, static_cast<int>(NoStartOfImage)));
}

TEST_P(PictureDecoding, NoMemoryForThePixelsMeansNoPicture) {
    const std::vector<uint8_t> photograph = ReadFile(std::string(LM_PICTURES_DIR) + "/116.jpg");
    const ImagingAllocateFunction previous =
        SetImagingAllocateFunction([](std::size_t) -> void* { return nullptr; });
    EXPECT_FALSE(Decode(photograph));
    SetImagingAllocateFunction(previous);
    EXPECT_EQ(image.Pixels(), nullptr);
    EXPECT_EQ(std::make_pair(image.Width(), image.Height()), std::make_pair(0, 0));
}

INSTANTIATE_TEST_SUITE_P(BothDecoders, PictureDecoding, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Packed" : "Plain";
                         });

} // namespace
