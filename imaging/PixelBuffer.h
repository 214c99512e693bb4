// The pixel buffer every picture travels in: width x height 32-bit pixels 0x00RRGGBB, top row
// first, no row padding - the exact bits of a top-down 32-bit device-independent bitmap.
//
// Every block the imaging code allocates goes through ImagingAllocate, so that running out of
// memory is an answer ("no picture") rather than a crash, and tests can make any allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>

using Pixel = std::uint32_t;

inline Pixel PackPixel(unsigned red, unsigned green, unsigned blue) {
    return ((red & 0xFFu) << 16) | ((green & 0xFFu) << 8) | (blue & 0xFFu);
}
inline unsigned PixelRed(Pixel p) {
    return (p >> 16) & 0xFFu;
}
inline unsigned PixelGreen(Pixel p) {
    return (p >> 8) & 0xFFu;
}
inline unsigned PixelBlue(Pixel p) {
    return p & 0xFFu;
}

// Allocation hook: returns null when the block cannot be had. Never called with 0 bytes.
using ImagingAllocateFunction = void* (*)(std::size_t bytes);

// Returns a block of at least one byte, or null. Free it with ImagingFree.
void* ImagingAllocate(std::size_t bytes);
void ImagingFree(void* block);

// Replaces the allocator (null restores the heap allocator) and returns the previous one.
// Only tests replace it; the screen saver uses the ordinary heap.
ImagingAllocateFunction SetImagingAllocateFunction(ImagingAllocateFunction allocate);

// bytes = count x size, or false when that does not fit in size_t.
bool ImagingByteCount(std::size_t count, std::size_t size, std::size_t& bytes);

// A buffer for width x height pixels, not cleared; null when the size is negative, does not fit
// in memory, or the allocation fails. A size of 0 in either dimension gives a valid, empty
// buffer (never null), so null always means "no picture".
Pixel* AllocatePixels(int width, int height);

// Stores one decoded line (4 bytes per pixel: red, green, blue and an ignored fourth byte) as
// width pixels, the way the screen saver fills its buffer from the decoder.
void StoreDecodedLine(const std::uint8_t* line, Pixel* destination, int width);

// Owns a block from ImagingAllocate; frees it when it goes.
template <typename T> class ImagingBlock {
public:
    ImagingBlock() = default;
    explicit ImagingBlock(std::size_t count) { Allocate(count); }
    ~ImagingBlock() { ImagingFree(Block); }
    ImagingBlock(const ImagingBlock&) = delete;
    ImagingBlock& operator=(const ImagingBlock&) = delete;

    // Replaces the block with room for count elements (not cleared); false when it cannot.
    bool Allocate(std::size_t count) {
        ImagingFree(Block);
        Block = nullptr;
        std::size_t bytes = 0;
        if (!ImagingByteCount(count, sizeof(T), bytes)) return false;
        Block = static_cast<T*>(ImagingAllocate(bytes));
        return Block != nullptr;
    }
    T* Get() const { return Block; }
    T& operator[](std::size_t i) const { return Block[i]; }
    explicit operator bool() const { return Block != nullptr; }
    T* Release() {
        T* block = Block;
        Block = nullptr;
        return block;
    }

private:
    T* Block = nullptr;
};
