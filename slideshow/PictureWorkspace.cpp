#include "slideshow/PictureWorkspace.h"

#include "imaging/RasterImage.h"

#include <cstdlib>
#include <cstring>

PictureWorkspace::~PictureWorkspace() {
    while (keptCount > 0)
        FreeKept(keptCount - 1);
    // A decoder still holding blocks of the region outlives it only by mistake; the region goes.
    ImagingFree(region.Data);
}

std::size_t PictureWorkspace::KeptBytes() const {
    std::size_t bytes = 0;
    for (int i = 0; i < keptCount; ++i)
        bytes += kept[i].Capacity;
    return bytes;
}

void PictureWorkspace::FreeKept(int index) {
    ImagingFree(kept[index].Data);
    kept[index] = kept[--keptCount];
}

void* PictureWorkspace::Take(std::size_t bytes) {
    int chosen = -1;
    for (int i = 0; i < keptCount; ++i)
        if (kept[i].Capacity >= bytes && (chosen < 0 || kept[i].Capacity < kept[chosen].Capacity))
            chosen = i;
    Block block{nullptr, bytes};
    if (chosen >= 0) {
        block = kept[chosen];
        kept[chosen] = kept[--keptCount];
    } else {
        // None fits: the largest (the one this request outgrew, most likely) goes before a fresh
        // block is allocated, so that the peak does not grow; smaller ones wait for their
        // requests.
        if (keptCount > 0) {
            int largest = 0;
            for (int i = 1; i < keptCount; ++i)
                if (kept[i].Capacity > kept[largest].Capacity) largest = i;
            FreeKept(largest);
        }
        block.Data = ImagingAllocate(bytes);
        if (block.Data == nullptr) return nullptr;
    }
    if (lentCount == MaxLent) {
        std::memmove(lent, lent + 1, sizeof(Block) * (MaxLent - 1));
        --lentCount;
    }
    lent[lentCount++] = block;
    return block.Data;
}

void PictureWorkspace::Keep(void* data) {
    if (data == nullptr) return;
    int found = -1;
    for (int i = 0; i < lentCount && found < 0; ++i)
        if (lent[i].Data == data) found = i;
    if (found < 0) {
        ImagingFree(data);
        return;
    }
    const Block block = lent[found];
    std::memmove(lent + found, lent + found + 1, sizeof(Block) * (lentCount - found - 1));
    --lentCount;
    Return(block);
}

void PictureWorkspace::Return(const Block& block) {
    if (keptCount == MaxKept) {
        // The smallest goes.
        int smallest = 0;
        for (int i = 1; i < keptCount; ++i)
            if (kept[i].Capacity < kept[smallest].Capacity) smallest = i;
        if (kept[smallest].Capacity >= block.Capacity) {
            ImagingFree(block.Data);
            return;
        }
        FreeKept(smallest);
    }
    kept[keptCount++] = block;
}

void PictureWorkspace::Keep(RasterImage& image) {
    Keep(image.Release());
}

Pixel* PictureWorkspace::TakePixels(int width, int height) {
    std::size_t count = 0, bytes = 0;
    if (width <= 0 || height <= 0 ||
        !ImagingByteCount(static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                          count) ||
        !ImagingByteCount(count, sizeof(Pixel), bytes))
        return AllocatePixels(width, height);
    return static_cast<Pixel*>(Take(bytes));
}

void* PictureWorkspace::TakeBlock(std::size_t bytes) {
    return bytes > 0 ? Take(bytes) : nullptr;
}

void* PictureWorkspace::allocateZeroed(std::size_t bytes) {
    if (bytes < LargeBlock) return std::calloc(1, bytes);
    const std::size_t size = (bytes + 15) & ~std::size_t(15);
    if (region.Data == nullptr) {
        int largest = -1;
        for (int i = 0; i < keptCount; ++i)
            if (largest < 0 || kept[i].Capacity > kept[largest].Capacity) largest = i;
        if (largest >= 0 && kept[largest].Capacity >= size) {
            region = kept[largest];
            kept[largest] = kept[--keptCount];
            regionUsed = 0;
            regionBlocks = 0;
        }
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
        // The region goes back among the kept blocks when its last block comes back.
        if (--regionBlocks == 0) {
            const Block whole = region;
            region = Block{};
            Return(whole);
        }
        return;
    }
    std::free(block);
}
