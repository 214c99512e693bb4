// Decoding into the pixel buffer with the plain and the packed decoder (channels in their bytes,
// grey as grey, a picture that breaks off black below its last row, no picture, no memory), and
// fitting pictures to the window.
#include "slideshow/PictureDecoding.h"
#include "slideshow/PictureFit.h"

#include "imaging/RasterImage.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegInputStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

namespace {

std::string File(const std::string& folder, const char* name) {
    std::ifstream file(folder + name, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_FALSE(bytes.empty()) << name << " is missing";
    return bytes;
}

} // namespace

TEST(PictureDecoding, BothDecodersFillThePixelBufferAsDesigned) {
    for (const bool useSimd : {false, true}) {
        SCOPED_TRACE(useSimd ? "packed" : "plain");
        RasterImage image;
        DecodedPicture outcome;
        auto decode = [&](const std::string& bytes) {
            MemoryInputStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            return DecodePicture(stream, useSimd, image, outcome);
        };
        auto result = [&] {
            return std::make_tuple(image.Width(), image.Height(), outcome.Lines, outcome.ErrorCode);
        };
        // Pure red; and a grey picture holding 16 x + y at column x, row y (the packed
        // transform's coarse pre-scaled tables cost a few levels at quality 100).
        for (const char* name : {"/red.jpg", "/grey.jpg"}) {
            ASSERT_TRUE(decode(File(LM_TEST_PICTURES, name)));
            ASSERT_EQ(result(), std::make_tuple(16, 16, 16, 0)) << name;
            int wrong = 0;
            for (int i = 0; i < 16 * 16; ++i) {
                const Pixel p = image.Pixels()[i];
                const int red = PixelRed(p), green = PixelGreen(p), blue = PixelBlue(p);
                wrong += p >> 24 != 0 ||
                         !(name[1] == 'r'
                               ? red >= 250 && green <= 4 && blue <= 4
                               : red == green && red == blue &&
                                     std::abs(red - 16 * (i % 16) - i / 16) <= (useSimd ? 6 : 2));
            }
            EXPECT_EQ(wrong, 0) << name;
        }
        // Half of a 1024 x 768 photograph with a restart marker after every MCU row, decoded into
        // a buffer that comes dirty, as the heap may give it: what was decoded above black.
        ImagingAllocateFunction heap = SetImagingAllocateFunction([](std::size_t bytes) {
            void* block = std::malloc(bytes);
            return block != nullptr ? std::memset(block, 0xA5, bytes) : nullptr;
        });
        const bool decoded = decode(File(LM_TEST_PICTURES, "/cut.jpg"));
        SetImagingAllocateFunction(heap);
        ASSERT_TRUE(decoded && image.Width() == 1024 && image.Height() == 768);
        EXPECT_TRUE(outcome.ErrorCode == CorruptScan || outcome.ErrorCode == BadRestartMarker)
            << outcome.ErrorCode;
        ASSERT_TRUE(outcome.Lines > 0 && outcome.Lines < 768) << outcome.Lines;
        const Pixel *all = image.Pixels(), *rest = all + outcome.Lines * 1024;
        EXPECT_TRUE(std::any_of(all, rest, [](Pixel p) { return p != 0; }));
        EXPECT_TRUE(std::all_of(rest, all + 768 * 1024, [](Pixel p) { return p == 0; }));
        // No memory for the pixels: no picture; bytes that are no picture: an empty image.
        heap = SetImagingAllocateFunction([](std::size_t) -> void* { return nullptr; });
        EXPECT_FALSE(decode(File(LM_PICTURES_DIR, "/116.jpg")));
        SetImagingAllocateFunction(heap);
        EXPECT_EQ(std::make_tuple(image.Pixels(), image.Width(), image.Height()),
                  std::make_tuple(nullptr, 0, 0));
        ASSERT_TRUE(decode("not a picture at all"));
        EXPECT_EQ(result(), std::make_tuple(0, 0, 0, static_cast<int>(NoStartOfImage)));
    }
}

TEST(PictureFit, FitsAndCentresAsTheScreenSaverDoes) {
    struct Case {
        int width, height, windowWidth, windowHeight;
        bool enlarge;
        PictureFit fit;
    } cases[] = {
        // Shrunk to the width, with or without enlarging.
        {1024, 720, 800, 600, false, {800, 562, 0, 19, true}},
        {1024, 720, 800, 600, true, {800, 562, 0, 19, true}},
        // Fits already: shown 1:1 and centred, or enlarged.
        {1024, 671, 1024, 768, false, {1024, 671, 0, 48, false}},
        {526, 768, 1280, 1024, false, {526, 768, 377, 128, false}},
        {526, 768, 1280, 1024, true, {701, 1024, 289, 0, true}},
        // The height ratio in single precision leaves this one a pixel short of the screen...
        {1024, 671, 1280, 768, true, {1172, 767, 54, 0, true}},
        // ... and this one not.
        {1024, 702, 1280, 720, true, {1050, 720, 115, 0, true}},
        // Exactly the window's size: never resampled.
        {800, 600, 800, 600, true, {800, 600, 0, 0, false}},
        // The Display Properties preview scales every picture down.
        {1024, 768, 152, 112, false, {149, 111, 1, 0, true}},
        {768, 1024, 152, 112, true, {84, 112, 34, 0, true}},
        // The spare odd pixel goes to the right and the bottom.
        {10, 10, 15, 13, false, {10, 10, 2, 1, false}},
        // A picture with no size stays 0 x 0 at the centre, also when enlarging.
        {0, 0, 1024, 768, true, {0, 0, 512, 384, false}},
        // Too thin to keep a row at this size.
        {4000, 2, 800, 600, false, {800, 0, 0, 300, true}},
    };
    auto fields = [](const PictureFit& f) {
        return std::make_tuple(f.Width, f.Height, f.X, f.Y, f.Resample);
    };
    for (const Case& c : cases)
        EXPECT_EQ(fields(FitPicture(c.width, c.height, c.windowWidth, c.windowHeight, c.enlarge)),
                  fields(c.fit))
            << c.width << "x" << c.height << " on " << c.windowWidth << "x" << c.windowHeight
            << (c.enlarge ? " enlarging" : "");
}
