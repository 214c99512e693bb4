// A picture in memory: the pixel buffer it owns and its size. On Windows, CreateDeviceBitmap
// (RasterImage_win32.h) turns it into a device bitmap.
#pragma once

#include "imaging/PixelBuffer.h"

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

    Pixel* Pixels() const { return Buffer; }
    int Width() const { return BufferWidth; }
    int Height() const { return BufferHeight; }

private:
    Pixel* Buffer = nullptr;
    int BufferWidth = 0;
    int BufferHeight = 0;
};
