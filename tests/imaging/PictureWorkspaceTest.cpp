// The workspace that keeps the large blocks of preparation from picture to picture: which block a
// request gets, that the peak does not grow, and that a show's pictures come out the same with it
// while every step after the first takes no fresh large block.
#include "slideshow/PictureWorkspace.h"
#include "imaging/RasterImage.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PicturePreparation.h"
#include "tests/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Counts the blocks the imaging allocator hands out that the Windows heap takes straight from the
// system as fresh pages (508 KB and more; it reuses smaller ones by itself).
long largeAllocations = 0;
void* CountingAllocate(std::size_t bytes) {
    if (bytes >= 0x7F000) ++largeAllocations;
    return std::malloc(bytes);
}

struct CountLarge {
    CountLarge() : Previous(SetImagingAllocateFunction(CountingAllocate)) { largeAllocations = 0; }
    ~CountLarge() { SetImagingAllocateFunction(Previous); }
    ImagingAllocateFunction Previous;
};

} // namespace

TEST(PictureWorkspace, EachKindOfRequestGetsItsOwnKeptBlockWithoutRaisingThePeak) {
    CountLarge counting;
    PictureWorkspace workspace;
    const auto decoded = PictureWorkspace::Decoded, prepared = PictureWorkspace::Prepared,
               work = PictureWorkspace::WorkColumn;
    // A picture, its prepared copy and the work column, kept, serve the next picture's requests
    // of the same kinds, also when smaller.
    Pixel* picture = workspace.TakePixels(1024, 768, decoded);
    Pixel* copy = workspace.TakePixels(1440, 1080, prepared);
    void* column = workspace.TakeBlock(768 * 64 * 8, work);
    for (void* block : {static_cast<void*>(picture), static_cast<void*>(copy), column})
        workspace.Keep(block);
    EXPECT_EQ(workspace.KeptBytes(), (1024u * 768 + 1440u * 1080 + 768u * 64 * 2) * 4);
    EXPECT_EQ(largeAllocations, 2);
    // The decoder's large blocks follow each other in the prepared picture's block, which is
    // free while a picture is decoded, and go back to it together.
    auto* luma = static_cast<unsigned char*>(workspace.allocateZeroed(1540000));
    void* chroma = workspace.allocateZeroed(390000);
    EXPECT_TRUE(luma == reinterpret_cast<unsigned char*>(copy) && chroma == luma + 1540000);
    EXPECT_EQ(workspace.TakePixels(526, 768, decoded), picture);
    workspace.release(chroma);
    workspace.release(luma);
    EXPECT_EQ(workspace.TakePixels(742, 1080, prepared), copy);
    EXPECT_EQ(workspace.TakeBlock(740 * 64 * 8, work), column);
    // A request never gets another kind's block, however large: one that outgrew its own frees
    // it before a fresh one comes.
    workspace.Keep(copy);
    workspace.Keep(picture);
    Pixel* larger = workspace.TakePixels(1100, 800, decoded);
    EXPECT_TRUE(larger != copy && largeAllocations == 3 && workspace.KeptBlocks() == 1);
    // Blocks from elsewhere, empty sizes and the decoder's small blocks are not kept; of two
    // blocks of one kind the larger stays.
    workspace.Keep(AllocatePixels(300, 300));
    workspace.Keep(workspace.TakePixels(0, 5, decoded));
    workspace.release(workspace.allocateZeroed(1000));
    EXPECT_EQ(workspace.KeptBlocks(), 1);
    Pixel* second = workspace.TakePixels(1440, 1080, prepared);
    Pixel* third = workspace.TakePixels(1920, 1080, prepared);
    for (void* block : {static_cast<void*>(larger), static_cast<void*>(second),
                        static_cast<void*>(third), column})
        workspace.Keep(block);
    EXPECT_EQ(workspace.KeptBytes(), (1100u * 800 + 1920u * 1080 + 768u * 64 * 2) * 4);
    // A kept block is cleared for the decoder.
    std::fill(third, third + 1920 * 1080, 0xFFFFFFFFu);
    const auto* cleared = static_cast<const unsigned char*>(workspace.allocateZeroed(3000000));
    EXPECT_EQ(std::count(cleared, cleared + 3000000, 0), 3000000);
}

// A show of landscape, portrait and progressive photographs, twice over, on a screen that
// enlarges every picture, and again on one that reduces the colours, with each decoder.
TEST(PictureWorkspace, AShowPreparesTheSamePicturesAndItsSecondRoundTakesNoFreshBlock) {
    const char* show[] = {"118.jpg", "116.jpg", "124.jpg", "128.jpg", "114.jpg"};
    for (const bool useSimd : {true, false})
        for (const int bits : {32, 16}) {
            SCOPED_TRACE(std::string(useSimd ? "packed, " : "plain, ") + std::to_string(bits));
            CountLarge counting;
            PictureWorkspace workspace;
            long firstRound = 0;
            for (int round = 0; round < 2; ++round) {
                for (const char* name : show) {
                    const std::string bytes = WholeFile(LM_PICTURES_DIR "/" + std::string(name));
                    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
                    RasterImage alone, kept;
                    Rect where{}, there{};
                    MemoryInputStream first(data, bytes.size()), second(data, bytes.size());
                    ASSERT_TRUE(
                        PreparePictureImage(first, 1920, 1080, true, bits, useSimd, alone, where));
                    const long before = largeAllocations;
                    ASSERT_TRUE(PreparePictureImage(second, 1920, 1080, true, bits, useSimd, kept,
                                                    there, 1, &workspace));
                    if (round == 0) firstRound += largeAllocations - before;
                    EXPECT_TRUE(round == 0 || largeAllocations == before) << name;
                    EXPECT_TRUE(kept.Width() == alone.Width() && kept.Height() == alone.Height() &&
                                std::equal(alone.Pixels(),
                                           alone.Pixels() + alone.Width() * alone.Height(),
                                           kept.Pixels()))
                        << name;
                    EXPECT_TRUE(where == there) << name;
                    workspace.Keep(kept);
                    // Kept between pictures: the decoded and the prepared picture's buffers and
                    // the resampler's work column.
                    EXPECT_LE(workspace.KeptBlocks(), 3) << name;
                }
            }
            EXPECT_GE(firstRound, 2);
        }
}
