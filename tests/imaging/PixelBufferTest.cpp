#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

TEST(PixelBuffer, PixelsAreTheBytesOfATopDown32BitBitmap) {
    const Pixel p = PackPixel(0x12, 0x34, 0x56);
    unsigned char bytes[4];
    std::memcpy(bytes, &p, 4);
    // Blue, green, red, 0 in memory on every little-endian machine.
    EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{0x56, 0x34, 0x12, 0}));
    // A decoded line holds red, green, blue and a fourth byte, which is dropped.
    const std::uint8_t line[8] = {10, 20, 30, 0xEE, 200, 100, 50, 0xFF};
    Pixel out[2];
    StoreDecodedLine(line, out, 2);
    EXPECT_EQ(std::vector<Pixel>(out, out + 2), (std::vector<Pixel>{0x000A141E, 0x00C86432}));
}

TEST(PixelBuffer, ImpossibleSizesGiveNoBufferAndEmptyOnesAnEmptyBuffer) {
    // INT_MAX x INT_MAX x 4 bytes overflows size_t on 32-bit Windows; it fails on 64 bits too.
    for (auto size : {std::make_pair(-1, 5), {5, -1}, {-1, 0}, {0, -1}, {INT_MAX, INT_MAX}})
        EXPECT_EQ(AllocatePixels(size.first, size.second), nullptr)
            << size.first << "x" << size.second;
    std::size_t bytes = 0;
    EXPECT_FALSE(ImagingByteCount(SIZE_MAX / 2 + 1, 2, bytes));
    EXPECT_TRUE(ImagingByteCount(SIZE_MAX / 2, 2, bytes));
    Pixel* empty = AllocatePixels(0, 100);
    EXPECT_NE(empty, nullptr);
    ImagingFree(empty);
    TestAllocations failing(0);
    EXPECT_EQ(AllocatePixels(10, 10), nullptr);
    EXPECT_EQ(failing.Refused, 1);
}

// A leak or a double free here fails the ASan build.
TEST(RasterImage, OwnsItsBufferAndTakesTheResizedOne) {
    RasterImage image(AllocatePixels(4, 3), 4, 3);
    Pixel* resized = AllocatePixels(8, 6);
    image.Replace(resized, 8, 6); // frees the first buffer
    image.Replace(resized, 8, 6); // the same buffer again is kept, not freed
    EXPECT_EQ(std::make_tuple(image.Pixels(), image.Width(), image.Height()),
              std::make_tuple(resized, 8, 6));
    Pixel* given = image.Release();
    EXPECT_EQ(given, resized);
    EXPECT_EQ(std::make_tuple(image.Pixels(), image.Width(), image.Height()),
              std::make_tuple(nullptr, 0, 0));
    ImagingFree(given);
}
