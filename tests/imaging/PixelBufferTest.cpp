#include "imaging/PixelBuffer.h"
#include "base/ProcessorInfo.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace {

// Asked during static initialisation, as another file's initialiser may ask it.
const bool askedEarly = processorInfo().HasMmx;

} // namespace

TEST(PixelBuffer, PixelsAreTheBytesOfATopDown32BitBitmapAndImpossibleSizesGetNone) {
    EXPECT_EQ(askedEarly, processorInfo().HasMmx);
    const Pixel p = PackPixel(0x12, 0x34, 0x56);
    unsigned char layout[4];
    std::memcpy(layout, &p, 4); // blue, green, red, 0
    EXPECT_EQ(std::make_tuple(layout[0], layout[1], layout[2], layout[3]),
              std::make_tuple(0x56, 0x34, 0x12, 0));
    // INT_MAX x INT_MAX x 4 bytes overflows size_t on 32-bit Windows; it fails on 64 bits too.
    for (auto size : {std::make_pair(-1, 5), {5, -1}, {INT_MAX, INT_MAX}})
        EXPECT_EQ(AllocatePixels(size.first, size.second), nullptr) << size.first;
    std::size_t bytes = 0;
    EXPECT_FALSE(ImagingByteCount(SIZE_MAX / 2 + 1, 2, bytes));
    EXPECT_TRUE(ImagingByteCount(SIZE_MAX / 2, 2, bytes));
    Pixel* empty = AllocatePixels(0, 100);
    EXPECT_NE(empty, nullptr);
    ImagingFree(empty);
}
