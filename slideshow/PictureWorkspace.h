// The large blocks of picture preparation, kept from one picture to the next: the pixel buffers of
// the decoded and the resampled picture, the resampler's work column and the decoder's large
// blocks (the coefficient planes of a progressive picture). Each block comes back here when its
// picture is done and is taken again for the next one, so that a show's steps take no fresh pages
// from the system once its first pictures are shown. Fresh memory costs a page fault per 4 KB,
// which under Windows is as much as decoding the picture's entropy-coded data.
//
// The peak stays what it was: a block is kept only when given back, at most three are kept (one
// per kind of request), and when none of them is large enough for a request, the largest goes
// before a fresh one is allocated. So the blocks held at any moment are those without the
// workspace, each at most as large as the largest the same request needed before.
#pragma once

#include "imaging/PixelBuffer.h"
#include "jpeg/JpegAllocation.h"

#include <cstddef>

class RasterImage;

class PictureWorkspace final : public JpegHeap {
public:
    // The decoder's blocks of this size or more come from the kept blocks; smaller ones (its
    // tables and row buffers) straight from the heap, which reuses such blocks by itself.
    static constexpr std::size_t LargeBlock = 256 * 1024;

    PictureWorkspace() = default;
    ~PictureWorkspace();
    PictureWorkspace(const PictureWorkspace&) = delete;
    PictureWorkspace& operator=(const PictureWorkspace&) = delete;

    // A buffer for width x height pixels (not cleared), from the smallest kept block that is
    // large enough; null when the size is negative or memory runs out. Empty sizes are not
    // kept: they get a fresh block of their own, like AllocatePixels.
    Pixel* TakePixels(int width, int height);
    // A block of `bytes` (not cleared) likewise, such as the resampler's work column.
    void* TakeBlock(std::size_t bytes);
    // Gives a block taken here back (a null pointer is ignored; a block from elsewhere is freed).
    void Keep(void* block);
    // Gives the image's buffer back; the image is then empty.
    void Keep(RasterImage& image);

    // The decoder's heap: its large blocks follow each other in the largest kept block (cleared),
    // since the decoder gives them all back before the preparation asks for its larger buffers.
    void* allocateZeroed(std::size_t bytes) override;
    void release(void* block) override;

    // What is kept now.
    int KeptBlocks() const { return keptCount; }
    std::size_t KeptBytes() const;

private:
    struct Block {
        void* Data;
        std::size_t Capacity;
    };
    static constexpr int MaxKept = 3;
    static constexpr int MaxLent = 8;

    // A block of at least `bytes`: the smallest kept one that fits, or a fresh one when none
    // fits (the largest kept one is freed first); null when memory runs out.
    void* Take(std::size_t bytes);
    // Keeps a block given back (at most MaxKept; the smallest goes).
    void Return(const Block& block);
    void FreeKept(int index);

    Block kept[MaxKept] = {};
    int keptCount = 0;
    // The kept block the decoder's large blocks are placed in, how much of it they use and how
    // many of them are out.
    Block region = {};
    std::size_t regionUsed = 0;
    int regionBlocks = 0;
    // Blocks taken and not yet given back, with their capacity; the oldest is forgotten when
    // more are out (given back later, such a block is freed).
    Block lent[MaxLent] = {};
    int lentCount = 0;
};
