// The packed path gives the same pictures with its SSE2 kernels as with the MMX ones (natively:
// the portable lane code): every shipped photograph and every file of the decoder corpus, decoded
// into the pixel buffer and prepared for a large and a small screen, enlarged, at 32 and 16 bits
// per pixel (resampled and dithered), compared pixel for pixel.
#include "base/ProcessorInfo.h"
#include "imaging/RasterImage.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PictureDecoding.h"
#include "slideshow/PicturePreparation.h"
#include "tests/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Picture {
    int Width = 0, Height = 0, Lines = 0, ErrorCode = 0;
    Rect Placement{};
    std::vector<Pixel> Pixels;
    bool operator==(const Picture& o) const {
        return Width == o.Width && Height == o.Height && Lines == o.Lines &&
               ErrorCode == o.ErrorCode && Placement == o.Placement && Pixels == o.Pixels;
    }
};

Picture Take(const RasterImage& image) {
    Picture p;
    p.Width = image.Width();
    p.Height = image.Height();
    if (image.Pixels() != nullptr)
        p.Pixels.assign(image.Pixels(), image.Pixels() + static_cast<size_t>(p.Width) * p.Height);
    return p;
}

// Decoded, then prepared for 1920 x 1080 x 32 and 640 x 480 x 16, "EnlargeToFit" on.
std::vector<Picture> Pictures(const std::string& bytes) {
    std::vector<Picture> made;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    {
        MemoryInputStream stream(data, bytes.size());
        RasterImage image;
        DecodedPicture outcome;
        DecodePicture(stream, true, image, outcome);
        made.push_back(Take(image));
        made.back().Lines = outcome.Lines;
        made.back().ErrorCode = outcome.ErrorCode;
    }
    const struct { int Width, Height, Bits; } screens[] = {{1920, 1080, 32}, {640, 480, 16}};
    for (const auto& screen : screens) {
        MemoryInputStream stream(data, bytes.size());
        RasterImage image;
        Rect placement{};
        PreparePictureImage(stream, screen.Width, screen.Height, true, screen.Bits, true, image,
                            placement);
        made.push_back(Take(image));
        made.back().Placement = placement;
    }
    return made;
}

} // namespace

TEST(PackedKernels, Sse2AndMmxKernelsMakeTheSamePictures) {
    if (!processorInfo().HasSse2) GTEST_SKIP() << "this processor has no SSE2";
    std::vector<std::filesystem::path> files;
    for (const char* folder : {LM_PICTURES_DIR, LM_JPEG_CORPUS_DIR})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".jpg") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 140u);
    int compared = 0;
    for (const auto& file : files) {
        const std::string bytes = WholeFile(file);
        const std::vector<Picture> sse2 = Pictures(bytes);
        UseMmxKernelsOnlyForTests(true);
        const std::vector<Picture> mmx = Pictures(bytes);
        UseMmxKernelsOnlyForTests(false);
        for (size_t i = 0; i < sse2.size(); ++i) {
            EXPECT_TRUE(sse2[i] == mmx[i])
                << file.filename().string() << (i == 0 ? " decoded" : " prepared for screen ") << i;
            compared += !sse2[i].Pixels.empty();
        }
    }
    // Every shipped photograph and nearly every corpus file makes pictures.
    EXPECT_GE(compared, 3 * 130);
}
