#include "imaging/PixelBuffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

void* HeapAllocate(std::size_t bytes) {
    return std::malloc(bytes);
}

ImagingAllocateFunction theAllocate = HeapAllocate;

} // namespace

void* ImagingAllocate(std::size_t bytes) {
    return theAllocate(bytes == 0 ? 1 : bytes);
}

void ImagingFree(void* block) {
    std::free(block);
}

ImagingAllocateFunction SetImagingAllocateFunction(ImagingAllocateFunction allocate) {
    ImagingAllocateFunction previous = theAllocate;
    theAllocate = allocate != nullptr ? allocate : HeapAllocate;
    return previous;
}

bool ImagingByteCount(std::size_t count, std::size_t size, std::size_t& bytes) {
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) return false;
    bytes = count * size;
    return true;
}

Pixel* AllocatePixels(int width, int height) {
    if (width < 0 || height < 0) return nullptr;
    std::size_t count = 0, bytes = 0;
    if (!ImagingByteCount(static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                          count) ||
        !ImagingByteCount(count, sizeof(Pixel), bytes))
        return nullptr;
    return static_cast<Pixel*>(ImagingAllocate(bytes));
}

void StoreDecodedLine(const std::uint8_t* line, Pixel* destination, int width) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Read as a little-endian word, R G B x is x << 24 | B << 16 | G << 8 | R: reversing its
    // bytes and dropping x gives R << 16 | G << 8 | B, one instruction each on every x86 since
    // the 486.
    int x = 0;
    for (; x + 4 <= width; x += 4, line += 16) {
        std::uint32_t words[4];
        std::memcpy(words, line, 16);
        destination[x] = __builtin_bswap32(words[0]) >> 8;
        destination[x + 1] = __builtin_bswap32(words[1]) >> 8;
        destination[x + 2] = __builtin_bswap32(words[2]) >> 8;
        destination[x + 3] = __builtin_bswap32(words[3]) >> 8;
    }
    for (; x < width; ++x, line += 4) {
        std::uint32_t word;
        std::memcpy(&word, line, 4);
        destination[x] = __builtin_bswap32(word) >> 8;
    }
#else
    for (int x = 0; x < width; ++x, line += 4)
        destination[x] = PackPixel(line[0], line[1], line[2]);
#endif
}
