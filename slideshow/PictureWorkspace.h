// The large blocks of picture preparation, kept from one picture to the next: the pixel buffers of
// the decoded and the prepared picture, the resampler's work column and, inside the prepared
// picture's block while it is not needed, the decoder's large blocks (the coefficient planes of a
// progressive picture). Each block comes back here when its picture is done and is taken again
// for the next one, so that a show's steps take no fresh pages from the system once its first
// pictures are shown. Fresh memory costs a page fault per 4 KB, which under Windows is as much as
// decoding the picture's entropy-coded data.
//
// One block is kept per kind of request, and a request only ever gets its own kind's block: a
// block too small for its request is freed before a fresh one is allocated. So the blocks held
// at any moment are those the same preparation holds without the workspace, each at most as large
// as the largest its kind needed for the pictures shown so far.
#pragma once

#include "imaging/PixelBuffer.h"
#include "jpeg/JpegAllocation.h"

#include <cstddef>

class RasterImage;

class PictureWorkspace final : public JpegHeap {
public:
    enum Kind { Decoded, Prepared, WorkColumn, Kinds };

    // The decoder's blocks of this size or more come from the prepared picture's block; smaller
    // ones (its tables and row buffers) straight from the heap, which reuses such blocks itself.
    static constexpr std::size_t kLargeBlock = 256 * 1024;

    PictureWorkspace() = default;
    ~PictureWorkspace();
    PictureWorkspace(const PictureWorkspace&) = delete;
    PictureWorkspace& operator=(const PictureWorkspace&) = delete;

    // A buffer for width x height pixels (not cleared): the kept block of this kind when it is
    // large enough, else a fresh one; null when the size is negative or memory runs out. Empty
    // sizes are not kept: they get a fresh block of their own, like AllocatePixels.
    Pixel* TakePixels(int width, int height, Kind kind);
    // A block of `bytes` (not cleared) likewise.
    void* TakeBlock(std::size_t bytes, Kind kind);
    // Gives a block taken here back (a null pointer is ignored; a block from elsewhere is freed).
    void Keep(void* block);
    // Gives the image's buffer back; the image is then empty.
    void Keep(RasterImage& image);

    // The decoder's heap: its large blocks follow each other in the prepared picture's kept block
    // (cleared), since the decoder gives them all back before that block is asked for.
    void* allocateZeroed(std::size_t bytes) override;
    void release(void* block) override;

    // What is kept now.
    int KeptBlocks() const;
    std::size_t KeptBytes() const;

private:
    struct Block {
        void* Data;
        std::size_t Capacity;
        Kind Of;
    };
    static constexpr int kMaxLent = 8;

    void Return(const Block& block);

    Block Kept[Kinds] = {};
    // Blocks taken and not yet given back; the oldest is forgotten when more are out (given back
    // later, such a block is freed).
    Block Lent[kMaxLent] = {};
    int LentCount = 0;
    // The block the decoder's large blocks are placed in, how much of it they use and how many of
    // them are out.
    Block Region = {};
    std::size_t RegionUsed = 0;
    int RegionBlocks = 0;
};
