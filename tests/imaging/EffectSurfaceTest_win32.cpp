#include "imaging/EffectSurface_win32.h"
#include "imaging/RasterImage_win32.h"
#include "tests/imaging/EffectCanvas.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

// Each effect drawn with BitBlt onto a real GDI target (a 32-bit DIB section standing for the
// screen, the picture as a device bitmap in a memory context) leaves the same pixels as on the
// software canvas, after partial steps and at the end.
TEST(DeviceContextSurface, DrawsWhatTheSoftwareCanvasDraws) {
    HDC display = GetDC(nullptr);
    ASSERT_GE(GetDeviceCaps(display, BITSPIXEL), 24)
        << "the comparison needs a true-colour display";
    HDC screen = CreateCompatibleDC(display), picture = CreateCompatibleDC(display);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 120, -90, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    SelectObject(screen, dib);
    Pixel* const pixels = static_cast<Pixel*>(bits);
    const std::vector<RectPair> pairs = EffectRectPairs();
    for (const char* name :
         {"Horizontal lines", "Vertical lines", "Big checkers", "Small checkers"})
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            EffectCanvas canvas(120, 90, pairs[i].newRect, static_cast<std::uint32_t>(i));
            std::copy(canvas.Screen.begin(), canvas.Screen.end(), pixels);
            const RasterImage image(AllocatePixels(canvas.PictureWidth, canvas.PictureHeight),
                                    canvas.PictureWidth, canvas.PictureHeight);
            std::copy(canvas.Picture.begin(), canvas.Picture.end(), image.Pixels());
            HBITMAP bitmap = CreateDeviceBitmap(image, display);
            HGDIOBJ keptPicture = SelectObject(picture, bitmap);
            DeviceContextSurface gdi(screen, picture);
            const auto onCanvas = CreateTransitionEffect(name, 300, 768),
                       onGdi = CreateTransitionEffect(name, 300, 768);
            for (const auto& effect : {onCanvas.get(), onGdi.get()})
                effect->Begin(pairs[i].oldRect, pairs[i].newRect);
            for (const float progress : {0.3f, 0.7f, 1.0f}) {
                onCanvas->Step(canvas, progress);
                onGdi->Step(gdi, progress);
                GdiFlush();
                EXPECT_TRUE(std::equal(canvas.Screen.begin(), canvas.Screen.end(), pixels))
                    << name << ", pair " << i << " at " << progress;
            }
            SelectObject(picture, keptPicture);
            DeleteObject(bitmap);
        }
    DeleteDC(picture);
    DeleteDC(screen);
    DeleteObject(dib);
    ReleaseDC(nullptr, display);
}
