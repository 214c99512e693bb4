#include "imaging/Ditherer_win32.h"
#include "imaging/RasterImage_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

TEST(DeviceBitmap, HoldsThePixelsTopRowFirst) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    ASSERT_GE(DisplayBitsPerPixel(screen), 24) << "the round trip needs a true-colour display";
    const int width = 5, height = 3;
    Pixel* pixels = AllocatePixels(width, height);
    for (int i = 0; i < width * height; ++i)
        pixels[i] = PackPixel(40 * (i % 5), 60 * (i / 5), 17 * i);
    const std::vector<Pixel> expected(pixels, pixels + width * height);
    const RasterImage image(pixels, width, height);

    HBITMAP bitmap = CreateDeviceBitmap(image, screen);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info;
    ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, width);
    EXPECT_EQ(info.bmHeight, height);
    BITMAPINFO request = {};
    request.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<Pixel> back(width * height, 0xDEADBEEF);
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, height, back.data(), &request, DIB_RGB_COLORS), height);
    for (Pixel& p : back)
        p &= 0x00FFFFFFu;
    EXPECT_EQ(back, expected);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}
