#include "imaging/RasterImage.h"

RasterImage::RasterImage(Pixel* pixels, int width, int height)
    : pixels(pixels), width(width), height(height) {}

RasterImage::~RasterImage() {
    ImagingFree(pixels);
}

void RasterImage::Replace(Pixel* newPixels, int newWidth, int newHeight) {
    if (newPixels != pixels) ImagingFree(pixels);
    pixels = newPixels;
    width = newWidth;
    height = newHeight;
}

Pixel* RasterImage::Release() {
    Pixel* released = pixels;
    pixels = nullptr;
    width = 0;
    height = 0;
    return released;
}
