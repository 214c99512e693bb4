#include "imaging/RasterImage.h"

RasterImage::RasterImage(Pixel* pixels, int width, int height)
    : Buffer(pixels), BufferWidth(width), BufferHeight(height) {}

RasterImage::~RasterImage() {
    ImagingFree(Buffer);
}

void RasterImage::Replace(Pixel* pixels, int width, int height) {
    if (pixels != Buffer) ImagingFree(Buffer);
    Buffer = pixels;
    BufferWidth = width;
    BufferHeight = height;
}

Pixel* RasterImage::Release() {
    Pixel* released = Buffer;
    Buffer = nullptr;
    BufferWidth = 0;
    BufferHeight = 0;
    return released;
}
