#include "slideshow/PictureWorkspace.h"

#include "imaging/RasterImage.h"

#include <cstdlib>
#include <cstring>

PictureWorkspace::~PictureWorkspace() {
    for (Block& block : kept)
        ImagingFree(block.Data);
    // A decoder still holding blocks of the region outlives it only by mistake; the region goes.
    ImagingFree(region.Data);
}

int PictureWorkspace::KeptBlocks() const {
    int count = 0;
    for (const Block& block : kept)
        count += block.Data != nullptr;
    return count;
}

std::size_t PictureWorkspace::KeptBytes() const {
    std::size_t bytes = 0;
    for (const Block& block : kept)
        bytes += block.Data != nullptr ? block.Capacity : 0;
    return bytes;
}

void* PictureWorkspace::TakeBlock(std::size_t bytes, Kind kind) {
    if (bytes == 0) return nullptr;
    Block block = kept[kind];
    kept[kind] = Block{};
    if (block.Data == nullptr || block.Capacity < bytes) {
        // Outgrown: it goes before the fresh block comes, so that the peak does not grow.
        ImagingFree(block.Data);
        block = Block{ImagingAllocate(bytes), bytes, kind};
        if (block.Data == nullptr) return nullptr;
    }
    if (lentCount == MaxLent) {
        std::memmove(lent, lent + 1, sizeof(Block) * (MaxLent - 1));
        --lentCount;
    }
    lent[lentCount++] = block;
    return block.Data;
}

Pixel* PictureWorkspace::TakePixels(int width, int height, Kind kind) {
    std::size_t count = 0, bytes = 0;
    if (width <= 0 || height <= 0 ||
        !ImagingByteCount(static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                          count) ||
        !ImagingByteCount(count, sizeof(Pixel), bytes))
        return AllocatePixels(width, height);
    return static_cast<Pixel*>(TakeBlock(bytes, kind));
}

void PictureWorkspace::Return(const Block& block) {
    // Of two blocks of one kind (one was out when the other was made), the larger stays.
    Block& slot = kept[block.Of];
    if (slot.Data != nullptr && slot.Capacity >= block.Capacity) {
        ImagingFree(block.Data);
        return;
    }
    ImagingFree(slot.Data);
    slot = block;
}

void PictureWorkspace::Keep(void* data) {
    if (data == nullptr) return;
    for (int i = 0; i < lentCount; ++i)
        if (lent[i].Data == data) {
            const Block block = lent[i];
            std::memmove(lent + i, lent + i + 1, sizeof(Block) * (lentCount - i - 1));
            --lentCount;
            Return(block);
            return;
        }
    ImagingFree(data);
}

void PictureWorkspace::Keep(RasterImage& image) {
    Keep(image.Release());
}

void* PictureWorkspace::allocateZeroed(std::size_t bytes) {
    if (bytes < LargeBlock) return std::calloc(1, bytes);
    const std::size_t size = (bytes + 15) & ~std::size_t(15);
    if (region.Data == nullptr && kept[Prepared].Data != nullptr &&
        kept[Prepared].Capacity >= size) {
        region = kept[Prepared];
        kept[Prepared] = Block{};
        regionUsed = 0;
        regionBlocks = 0;
    }
    if (region.Data != nullptr && region.Capacity - regionUsed >= size) {
        unsigned char* block = static_cast<unsigned char*>(region.Data) + regionUsed;
        regionUsed += size;
        ++regionBlocks;
        std::memset(block, 0, bytes);
        return block;
    }
    // Beyond what the region holds: a block of its own, freed when given back.
    return std::calloc(1, bytes);
}

void PictureWorkspace::release(void* block) {
    unsigned char* start = static_cast<unsigned char*>(region.Data);
    unsigned char* at = static_cast<unsigned char*>(block);
    if (start != nullptr && at >= start && at < start + region.Capacity) {
        // The region goes back to its kind when its last block comes back.
        if (--regionBlocks == 0) {
            const Block whole = region;
            region = Block{};
            Return(whole);
        }
        return;
    }
    std::free(block);
}
