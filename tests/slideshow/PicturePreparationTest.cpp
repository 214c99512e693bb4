// Preparing a picture for the window without a device: the placement it gets, the colour
// reduction below 24 bits, and an empty slot at the centre when there is nothing to show.
#include "slideshow/PicturePreparation.h"

#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "jpeg/JpegInputStream.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Photograph(int id) {
    std::ifstream file(std::string(LM_PICTURES_DIR) + "/" + std::to_string(id) + ".jpg",
                       std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
}

std::array<int, 4> Corners(const Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

struct Prepared {
    bool Shown;
    RasterImage Image;
    Rect Placement;
};

void Prepare(const std::vector<uint8_t>& bytes, int width, int height, int bitsPerPixel,
             Prepared& out) {
    MemoryInputStream stream(bytes.data(), bytes.size());
    out.Shown = PreparePictureImage(stream, width, height, false, bitsPerPixel, true, out.Image,
                                    out.Placement);
}

// Refuses the allocation numbered `refused` (from 1), counting every one.
int allocations = 0;
int refused = 0;
void* CountingAllocate(std::size_t bytes) {
    return ++allocations == refused ? nullptr : std::malloc(bytes);
}

TEST(PicturePreparation, APictureIsPlacedFittedAndReducedOnlyBelow24Bits) {
    const std::vector<uint8_t> meadow = Photograph(114); // 1024 x 720
    for (const int bits : {32, 24, 16}) {
        Prepared prepared;
        Prepare(meadow, 800, 600, bits, prepared);
        ASSERT_TRUE(prepared.Shown);
        EXPECT_EQ(Corners(prepared.Placement), (std::array<int, 4>{0, 19, 800, 581}));
        ASSERT_EQ(prepared.Image.Width() * prepared.Image.Height(), 800 * 562);
        int offEighths = 0;
        for (int i = 0; i < 800 * 562; ++i) {
            const Pixel p = prepared.Image.Pixels()[i];
            offEighths += ((PixelRed(p) | PixelGreen(p) | PixelBlue(p)) & 7) != 0;
        }
        // Five bits per channel below 24; a photograph's own colours at 24 and 32.
        if (bits == 16)
            EXPECT_EQ(offEighths, 0);
        else
            EXPECT_GT(offEighths, 800 * 562 / 2);
    }
}

TEST(PicturePreparation, NothingToShowLeavesAnEmptySlotAtTheCentre) {
    const std::vector<uint8_t> noPicture(300, 0x5A);
    Prepared garbage;
    Prepare(noPicture, 800, 600, 32, garbage);
    EXPECT_FALSE(garbage.Shown);
    EXPECT_EQ(garbage.Image.Pixels(), nullptr);
    EXPECT_EQ(Corners(garbage.Placement), (std::array<int, 4>{400, 300, 400, 300}));

    // A picture scaled to nothing (in a window of no width) is nothing to show either.
    const std::vector<uint8_t> meadow = Photograph(114);
    Prepared squeezed;
    Prepare(meadow, 0, 600, 32, squeezed);
    EXPECT_FALSE(squeezed.Shown);
    EXPECT_EQ(Corners(squeezed.Placement), (std::array<int, 4>{0, 300, 0, 300}));

    // Every allocation of the pixel work refused in turn (the pixels, the resampler's, the
    // ditherer's): no picture, and the same empty slot, until none is refused.
    const ImagingAllocateFunction previous = SetImagingAllocateFunction(&CountingAllocate);
    int refusals = 0;
    for (refused = 1;; ++refused) {
        allocations = 0;
        Prepared prepared;
        Prepare(meadow, 801, 601, 16, prepared);
        if (refused > allocations) {
            EXPECT_TRUE(prepared.Shown);
            break;
        }
        ++refusals;
        EXPECT_FALSE(prepared.Shown) << "allocation " << refused;
        EXPECT_EQ(prepared.Image.Pixels(), nullptr);
        EXPECT_EQ(Corners(prepared.Placement), (std::array<int, 4>{400, 300, 400, 300}));
    }
    SetImagingAllocateFunction(previous);
    EXPECT_GE(refusals, 3);
}

} // namespace
