#include "imaging/EffectSurface_win32.h"
#include "imaging/RasterImage.h"
#include "tests/imaging/EffectCanvas.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Each effect drawn with BitBlt onto a real GDI target (a 32-bit DIB section standing for the
// screen, the picture as a device bitmap in a memory context) leaves the same pixels as the
// software canvas given the same calls, after partial steps and at the end.
TEST(DeviceContextSurface, DrawsWhatTheSoftwareCanvasDraws) {
    HDC display = GetDC(nullptr);
    ASSERT_NE(display, nullptr);
    ASSERT_GE(GetDeviceCaps(display, BITSPIXEL), 24)
        << "the comparison needs a true-colour display";
    HDC screen = CreateCompatibleDC(display), picture = CreateCompatibleDC(display);
    const int width = 120, height = 90;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HGDIOBJ keptScreen = SelectObject(screen, dib);
    Pixel* const pixels = static_cast<Pixel*>(bits);

    const std::vector<RectPair> pairs = EffectRectPairs();
    const char* const names[] = {"Horizontal lines", "Vertical lines", "Big checkers",
                                 "Small checkers"};
    for (const char* name : names)
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const Rect& n = pairs[i].newRect;
            EffectCanvas canvas(width, height, std::max(0, n.right - n.left),
                                std::max(0, n.bottom - n.top), static_cast<std::uint32_t>(i));
            std::memcpy(pixels, canvas.Screen.data(), canvas.Screen.size() * sizeof(Pixel));
            Pixel* copy = AllocatePixels(canvas.PictureWidth, canvas.PictureHeight);
            ASSERT_NE(copy, nullptr);
            std::copy(canvas.Picture.begin(), canvas.Picture.end(), copy);
            const RasterImage image(copy, canvas.PictureWidth, canvas.PictureHeight);
            HBITMAP bitmap = image.CreateDeviceBitmap(display);
            HGDIOBJ keptPicture = SelectObject(picture, bitmap);

            DeviceContextSurface gdi(screen, picture);
            const auto onCanvas = CreateTransitionEffect(name, 300, 768);
            const auto onGdi = CreateTransitionEffect(name, 300, 768);
            onCanvas->Begin(pairs[i].oldRect, n);
            onGdi->Begin(pairs[i].oldRect, n);
            for (const float progress : {0.3f, 0.7f, 1.0f}) {
                onCanvas->Step(canvas, progress);
                onGdi->Step(gdi, progress);
                GdiFlush();
                int wrong = 0;
                for (int p = 0; p < width * height; ++p)
                    wrong += (pixels[p] & 0xFFFFFFu) != canvas.Screen[p];
                EXPECT_EQ(wrong, 0) << name << ", pair " << i << " at " << progress;
            }
            onCanvas->End();
            onGdi->End();
            SelectObject(picture, keptPicture);
            DeleteObject(bitmap);
        }
    SelectObject(screen, keptScreen);
    DeleteObject(dib);
    DeleteDC(picture);
    DeleteDC(screen);
    ReleaseDC(nullptr, display);
}
