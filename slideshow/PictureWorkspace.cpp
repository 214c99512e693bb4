#include "slideshow/PictureWorkspace.h"

#include "imaging/RasterImage.h"

#include <cstdlib>
#include <cstring>

PictureWorkspace::~PictureWorkspace() {
    for (Block& block : Kept)
        ImagingFree(block.Data);
    // A decoder still holding blocks of the region outlives it only by mistake; the region goes.
    ImagingFree(Region.Data);
}

int PictureWorkspace::KeptBlocks() const {
    int count = 0;
    for (const Block& block : Kept)
        count += block.Data != nullptr;
    return count;
}

std::size_t PictureWorkspace::KeptBytes() const {
    std::size_t bytes = 0;
    for (const Block& block : Kept)
        bytes += block.Data != nullptr ? block.Capacity : 0;
    return bytes;
}

void* PictureWorkspace::TakeBlock(std::size_t bytes, Kind kind) {
    if (bytes == 0) return nullptr;
    Block block = Kept[kind];
    Kept[kind] = Block{};
    if (block.Data == nullptr || block.Capacity < bytes) {
        // Outgrown: it goes before the fresh block comes, so that the peak does not grow.
        ImagingFree(block.Data);
        block = Block{ImagingAllocate(bytes), bytes, kind};
        if (block.Data == nullptr) return nullptr;
    }
    if (LentCount == kMaxLent) {
        std::memmove(Lent, Lent + 1, sizeof(Block) * (kMaxLent - 1));
        --LentCount;
    }
    Lent[LentCount++] = block;
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
    Block& slot = Kept[block.Of];
    if (slot.Data != nullptr && slot.Capacity >= block.Capacity) {
        ImagingFree(block.Data);
        return;
    }
    ImagingFree(slot.Data);
    slot = block;
}

void PictureWorkspace::Keep(void* data) {
    if (data == nullptr) return;
    for (int i = 0; i < LentCount; ++i)
        if (Lent[i].Data == data) {
            const Block block = Lent[i];
            std::memmove(Lent + i, Lent + i + 1, sizeof(Block) * (LentCount - i - 1));
            --LentCount;
            Return(block);
            return;
        }
    ImagingFree(data);
}

void PictureWorkspace::Keep(RasterImage& image) {
    Keep(image.Release());
}

void* PictureWorkspace::allocateZeroed(std::size_t bytes) {
    if (bytes < kLargeBlock) return std::calloc(1, bytes);
    const std::size_t size = (bytes + 15) & ~std::size_t(15);
    if (Region.Data == nullptr && Kept[Prepared].Data != nullptr &&
        Kept[Prepared].Capacity >= size) {
        Region = Kept[Prepared];
        Kept[Prepared] = Block{};
        RegionUsed = 0;
        RegionBlocks = 0;
    }
    if (Region.Data != nullptr && Region.Capacity - RegionUsed >= size) {
        unsigned char* block = static_cast<unsigned char*>(Region.Data) + RegionUsed;
        RegionUsed += size;
        ++RegionBlocks;
        std::memset(block, 0, bytes);
        return block;
    }
    // Beyond what the region holds: a block of its own, freed when given back.
    return std::calloc(1, bytes);
}

void PictureWorkspace::release(void* block) {
    unsigned char* start = static_cast<unsigned char*>(Region.Data);
    unsigned char* at = static_cast<unsigned char*>(block);
    if (start != nullptr && at >= start && at < start + Region.Capacity) {
        // The region goes back to its kind when its last block comes back.
        if (--RegionBlocks == 0) {
            const Block whole = Region;
            Region = Block{};
            Return(whole);
        }
        return;
    }
    std::free(block);
}
