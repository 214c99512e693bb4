// The pixels of the show's Windows tests, read back from a device context.
#pragma once

#include <windows.h>

#include <vector>

// The top left width x height pixels of `source` as 0x00RRGGBB (the layout of the pixel buffer),
// masked with `bits`.
inline std::vector<DWORD> ReadPixels(HDC source, int width, int height, DWORD bits = 0xFFFFFF) {
    const HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* data = nullptr;
    const HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &data, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<DWORD*>(data),
                              static_cast<DWORD*>(data) + width * height);
    for (DWORD& p : pixels)
        p &= bits;
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    return pixels;
}
