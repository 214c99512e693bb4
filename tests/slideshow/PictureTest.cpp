// Decoding into the pixel buffer with the plain and the packed decoder (channels in their bytes,
// grey as grey, a picture that breaks off black below its last row, no picture), and fitting
// pictures to the window.
#include "slideshow/PictureDecoding.h"
#include "slideshow/PictureFit.h"

#include "imaging/RasterImage.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegInputStream.h"
#include "tests/WholeFile.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>

TEST(PictureDecoding, BothDecodersFillThePixelBufferAsDesigned) {
    for (const bool useSimd : {false, true}) {
        SCOPED_TRACE(useSimd ? "packed" : "plain");
        RasterImage image;
        DecodedPicture outcome;
        auto decode = [&](const std::string& bytes) {
            MemoryInputStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            return DecodePicture(stream, useSimd, image, outcome);
        };
        // Pure red; and a grey picture holding 16 x + y at column x, row y (the packed
        // transform's coarse pre-scaled tables cost a few levels at quality 100).
        for (const char* name : {"/red.jpg", "/grey.jpg"}) {
            ASSERT_TRUE(decode(WholeFile(LM_TEST_PICTURES + std::string(name))));
            ASSERT_TRUE(image.Width() == 16 && image.Height() == 16 && outcome.Lines == 16 &&
                        outcome.ErrorCode == 0)
                << name;
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
        const bool decoded = decode(WholeFile(LM_TEST_PICTURES "/cut.jpg"));
        SetImagingAllocateFunction(heap);
        ASSERT_TRUE(decoded && image.Width() == 1024 && image.Height() == 768 &&
                    outcome.Lines > 0 && outcome.Lines < 768 &&
                    (outcome.ErrorCode == CorruptScan || outcome.ErrorCode == BadRestartMarker))
            << outcome.Lines << " lines, error " << outcome.ErrorCode;
        const Pixel *all = image.Pixels(), *rest = all + outcome.Lines * 1024;
        EXPECT_TRUE(std::any_of(all, rest, [](Pixel p) { return p != 0; }));
        EXPECT_TRUE(std::all_of(rest, all + 768 * 1024, [](Pixel p) { return p == 0; }));
        // Bytes that are no picture: an empty image.
        EXPECT_TRUE(decode("not a picture at all") && image.Width() == 0 && image.Height() == 0 &&
                    outcome.Lines == 0 && outcome.ErrorCode == NoStartOfImage);
        // To be turned on its side, with memory for the picture but not for the turning: no
        // picture (the sanitizers see that nothing is left held).
        const std::string red = WholeFile(LM_TEST_PICTURES "/red.jpg");
        MemoryInputStream stream(reinterpret_cast<const uint8_t*>(red.data()), red.size());
        TestAllocations pictureOnly(1);
        EXPECT_FALSE(DecodePicture(stream, useSimd, image, outcome, 6));
        EXPECT_TRUE(image.Pixels() == nullptr && pictureOnly.Refused == 1);
    }
}

TEST(PictureFit, FitsAndCentresAsTheScreenSaverDoes) {
    struct Case {
        int Width, Height, WindowWidth, WindowHeight;
        bool Enlarge;
        PictureFit Fit;
    } cases[] = {
        // (The design's other examples are pinned by the screen checks.) The height ratio in single
        // precision leaves this one a pixel short of the screen, and not the next one.
        {1024, 671, 1280, 768, true, {RectAt(54, 0, 1172, 767), true}},
        {1024, 702, 1280, 720, true, {RectAt(115, 0, 1050, 720), true}},
        // Exactly the window's size: never resampled.
        {800, 600, 800, 600, true, {RectAt(0, 0, 800, 600), false}},
        // The Display Properties preview scales every picture down.
        {768, 1024, 152, 112, true, {RectAt(34, 0, 84, 112), true}},
        // The spare odd pixel goes to the right and the bottom.
        {10, 10, 15, 13, false, {RectAt(2, 1, 10, 10), false}},
    };
    auto fields = [](const PictureFit& f) {
        const Rect& r = f.Placement;
        return std::make_tuple(r.Width(), r.Height(), r.Left, r.Top, f.Resample);
    };
    for (const Case& c : cases)
        EXPECT_EQ(fields(FitPicture(c.Width, c.Height, c.WindowWidth, c.WindowHeight, c.Enlarge)),
                  fields(c.Fit))
            << c.Width << "x" << c.Height << " on " << c.WindowWidth << "x" << c.WindowHeight
            << (c.Enlarge ? " enlarging" : "");
}
