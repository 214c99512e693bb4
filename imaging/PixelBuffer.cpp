#include "imaging/PixelBuffer.h"

#include <cstdlib>
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
    for (int x = 0; x < width; ++x, line += 4)
        destination[x] = PackPixel(line[0], line[1], line[2]);
}
