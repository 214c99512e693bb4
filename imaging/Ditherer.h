// Colour reduction for displays of fewer than 24 bits per pixel: serpentine error diffusion in
// sixteenths of a level, to the 6 x 6 x 6 colour cube on palette (8-bit) displays and to five bits
// per channel on the others.
#pragma once

#include "imaging/PixelBuffer.h"

#include <cstdint>

// The pixels are shown unchanged at 24 and 32 bits per pixel; every other depth is reduced.
inline bool NeedsColourReduction(int bitsPerPixel) {
    return bitsPerPixel != 24 && bitsPerPixel != 32;
}

class Ditherer {
public:
    // bitsPerPixel: the display's depth (GetDeviceCaps BITSPIXEL, see Ditherer_win32.h). Only 8
    // means a palette display; 1- and 4-bit displays get the five-bit levels like 15 and 16 bits.
    Ditherer(int bitsPerPixel, Pixel* pixels, int width, int height);
    virtual ~Ditherer();
    Ditherer(const Ditherer&) = delete;
    Ditherer& operator=(const Ditherer&) = delete;

    // Reduces the colours of the whole buffer in place; byte 3 of every pixel becomes 0. Returns
    // false, with the buffer unchanged, when the row error buffer cannot be allocated.
    virtual bool Dither() = 0;

    bool IsDeep() const { return Deep; }

protected:
    bool Deep;
    Pixel* Pixels;
    int Width;
    int Height;
};

// Quantises through three 256-entry level tables (one per channel, all alike): the nearest cube
// level on a palette display, the top five bits (truncation) on the others.
class PlainDitherer : public Ditherer {
public:
    PlainDitherer(int bitsPerPixel, Pixel* pixels, int width, int height);
    bool Dither() override;

    // channel 0 is byte 0 (blue), 1 green, 2 red.
    std::uint8_t Level(int channel, int value) const { return Levels[channel][value]; }

private:
    std::uint8_t Levels[3][256];
};

// The same diffusion in four 16-bit lanes per pixel (one per byte), with quantisers computed in
// the lanes: on a palette display ((5v + 128) >> 8) x 51, elsewhere min(v + 4, 255) AND 0xF8
// (rounding). Packed-integer (MMX) code in the Windows build, the same lane arithmetic in
// portable code elsewhere.
class MmxDitherer : public Ditherer {
public:
    MmxDitherer(int bitsPerPixel, Pixel* pixels, int width, int height);
    bool Dither() override;
};
