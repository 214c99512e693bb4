// A picture in memory: the pixel buffer it owns and its size. On Windows it also turns itself
// into a device bitmap for a device context.
#pragma once

#include "imaging/PixelBuffer.h"

#ifdef _WIN32
// The handle types of <windows.h> (STRICT), declared here so the portable core need not include it.
struct HDC__;
struct HBITMAP__;
#endif

class RasterImage {
public:
    RasterImage() = default;
    // Takes ownership of a buffer from AllocatePixels (or ImagingAllocate).
    RasterImage(Pixel* pixels, int width, int height);
    virtual ~RasterImage();
    RasterImage(const RasterImage&) = delete;
    RasterImage& operator=(const RasterImage&) = delete;

    // Frees the buffer held so far and takes this one (after a resize).
    void Replace(Pixel* pixels, int width, int height);
    // Gives the buffer up to the caller; the image is then empty.
    Pixel* Release();

    Pixel* Pixels() const { return pixels; }
    int Width() const { return width; }
    int Height() const { return height; }

#ifdef _WIN32
    // A bitmap compatible with dc holding these pixels (RasterImage_win32.cpp, lm_imaging_win32).
    // A failed CreateCompatibleBitmap gives a null handle; the caller owns what it gets.
    HBITMAP__* CreateDeviceBitmap(HDC__* dc) const;
#endif

private:
    Pixel* pixels = nullptr;
    int width = 0;
    int height = 0;
};
