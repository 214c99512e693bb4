#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

TEST(PixelBuffer, PixelsAreLaidOutAsATopDown32BitBitmap) {
    const Pixel p = PackPixel(0x12, 0x34, 0x56);
    unsigned char bytes[4];
    std::memcpy(bytes, &p, 4);
    // Blue, green, red, 0 in memory on every little-endian machine.
    EXPECT_EQ(bytes[0], 0x56);
    EXPECT_EQ(bytes[1], 0x34);
    EXPECT_EQ(bytes[2], 0x12);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(PixelRed(p), 0x12u);
    EXPECT_EQ(PixelGreen(p), 0x34u);
    EXPECT_EQ(PixelBlue(p), 0x56u);
}

TEST(PixelBuffer, DecodedLinesDropTheFourthByte) {
    const std::uint8_t line[8] = {10, 20, 30, 0xEE, 200, 100, 50, 0xFF};
    Pixel out[2];
    StoreDecodedLine(line, out, 2);
    EXPECT_EQ(out[0], 0x000A141Eu);
    EXPECT_EQ(out[1], 0x00C86432u);
}

TEST(PixelBuffer, ImpossibleSizesGiveNoBufferAndEmptyOnesAnEmptyBuffer) {
    EXPECT_EQ(AllocatePixels(-1, 5), nullptr);
    EXPECT_EQ(AllocatePixels(5, -1), nullptr);
    Pixel* empty = AllocatePixels(0, 100);
    EXPECT_NE(empty, nullptr);
    ImagingFree(empty);
    // INT_MAX x INT_MAX x 4 bytes overflows size_t on 32-bit Windows; it fails on 64 bits too.
    EXPECT_EQ(AllocatePixels(INT_MAX, INT_MAX), nullptr);
    std::size_t bytes = 0;
    EXPECT_FALSE(ImagingByteCount(SIZE_MAX / 2 + 1, 2, bytes));
    EXPECT_TRUE(ImagingByteCount(SIZE_MAX / 2, 2, bytes));
    FailingAllocations failing(0);
    EXPECT_EQ(AllocatePixels(10, 10), nullptr);
    EXPECT_EQ(failing.Refused(), 1);
}

TEST(RasterImage, OwnsItsBufferAndTakesTheResizedOne) {
    RasterImage image(AllocatePixels(4, 3), 4, 3);
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(image.Height(), 3);
    Pixel* resized = AllocatePixels(8, 6);
    image.Replace(resized, 8, 6); // frees the first buffer (a leak would fail the ASan build)
    EXPECT_EQ(image.Pixels(), resized);
    EXPECT_EQ(image.Width(), 8);
    image.Replace(resized, 8, 6); // the same buffer again is kept, not freed
    Pixel* given = image.Release();
    EXPECT_EQ(given, resized);
    EXPECT_EQ(image.Pixels(), nullptr);
    EXPECT_EQ(image.Width(), 0);
    ImagingFree(given);
}
