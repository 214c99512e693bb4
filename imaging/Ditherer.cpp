#include "imaging/Ditherer.h"

#include "imaging/PackedKernels.h"

#include <cstring>

Ditherer::Ditherer(int bitsPerPixel, Pixel* pixels, int width, int height)
    : Deep(bitsPerPixel != 8), Pixels(pixels), Width(width), Height(height) {}

Ditherer::~Ditherer() = default;

PlainDitherer::PlainDitherer(int bitsPerPixel, Pixel* pixels, int width, int height)
    : Ditherer(bitsPerPixel, pixels, width, height) {
    for (int i = 0; i < 256; ++i) {
        // Palette: the nearest of 0, 51, ..., 255, remainder 26 rounding down. Deep: truncation.
        const int level = Deep ? (i & 0xF8) : (i / 51 + (i % 51 > 26 ? 1 : 0)) * 51;
        for (auto& table : Levels)
            table[i] = static_cast<std::uint8_t>(level);
    }
}

bool PlainDitherer::Dither() {
    if (Pixels == nullptr || Width <= 0 || Height <= 0) return true;
    // Slot x + 1 carries the error for column x of the next row, three channels each; slots 0
    // and width + 1 are margins.
    const std::size_t slotCount = static_cast<std::size_t>(Width) + 2;
    ImagingBlock<std::int32_t> errors;
    if (slotCount > SIZE_MAX / 3 || !errors.Allocate(slotCount * 3)) return false;
    std::memset(errors.Get(), 0, slotCount * 3 * sizeof(std::int32_t));
    std::int32_t* slot = errors.Get();

    for (int y = 0; y < Height; ++y) {
        Pixel* row = Pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width);
        const bool forward = (y % 2) == 0;
        int carry[3] = {0, 0, 0}, a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
        int behind = forward ? 0 : Width + 1;
        for (int i = 0; i < Width; ++i) {
            const int x = forward ? i : Width - 1 - i;
            const Pixel in = row[x];
            Pixel out = 0;
            const std::int32_t* here = slot + 3 * (x + 1);
            std::int32_t* back = slot + 3 * behind;
            for (int c = 0; c < 3; ++c) {
                // Arithmetic shift: the sum in sixteenths, rounded half up, negatives included.
                const int t = (carry[c] + here[c] + 8) >> 4;
                int v = static_cast<int>((in >> (8 * c)) & 0xFF) + t;
                v = v < 0 ? 0 : (v > 255 ? 255 : v);
                const int q = Levels[c][v];
                const int e = v - q;
                back[c] = a[c] + 3 * e;
                a[c] = b[c] + 5 * e;
                b[c] = e;
                carry[c] = 7 * e;
                out |= static_cast<Pixel>(q) << (8 * c);
            }
            row[x] = out;
            behind = x + 1;
        }
        // The pending a belongs below the last pixel of the pass; b would fall in the margin.
        std::int32_t* last = slot + 3 * (forward ? Width : 1);
        for (int c = 0; c < 3; ++c)
            last[c] = a[c];
    }
    return true;
}

MmxDitherer::MmxDitherer(int bitsPerPixel, Pixel* pixels, int width, int height)
    : Ditherer(bitsPerPixel, pixels, width, height) {}

bool MmxDitherer::Dither() {
    if (Pixels == nullptr || Width <= 0 || Height <= 0) return true;
    const std::size_t slotCount = static_cast<std::size_t>(Width) + 2;
    ImagingBlock<PackedLanes> slots;
    if (!slots.Allocate(slotCount)) return false;
    std::memset(slots.Get(), 0, slotCount * sizeof(PackedLanes));
#if LANTERNMOOR_HAVE_MMX
    PackedDitherMmx(Pixels, Width, Height, Deep, slots.Get());
#else
    PackedDitherPortable(Pixels, Width, Height, Deep, slots.Get());
#endif
    return true;
}
