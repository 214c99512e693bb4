#include "imaging/RasterImage_win32.h"

#include <cstring>

UniqueBitmap CreateDeviceBitmap(const RasterImage& image, HDC dc) {
    const int width = image.Width(), height = image.Height();
    UniqueBitmap bitmap(CreateCompatibleBitmap(dc, width, height));
    // Header plus one colour entry, cleared: the buffer already has the layout of a top-down
    // 32-bit DIB, so one SetDIBits call converts the whole picture.
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (bitmap && image.Pixels() != nullptr && width > 0 && height > 0)
        SetDIBits(dc, bitmap.Get(), 0, static_cast<UINT>(height), image.Pixels(), &info,
                  DIB_RGB_COLORS);
    return bitmap;
}
