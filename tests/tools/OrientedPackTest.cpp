// The oriented pack (make-oriented-pack.sh, which has ImageMagick's -auto-orient check the files):
// one upright picture stored under each EXIF orientation comes out upright from every output path
// but the show (tested under Wine): the preparation on both paths, prepare-picture's reading, the
// fitting, and the proof sheet.
#include "imaging/RasterImage.h"
#include "jpeg/Exif.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PicturePreparation.h"
#include "tools/check-pack/Pack.h"
#include "tools/check-pack/PackOutput.h"
#include "tools/prepare-picture/PictureFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A picture's pixels kept apart from the RasterImage that held them.
struct Image {
    int Width = 0, Height = 0;
    std::vector<Pixel> Pixels;
    explicit Image(const RasterImage& image)
        : Width(image.Width()), Height(image.Height()),
          Pixels(image.Pixels(), image.Pixels() + (image.Pixels() ? Width * Height : 0)) {}
};

Image Ppm(const std::vector<uint8_t>& bytes) {
    RasterImage image;
    std::string error;
    EXPECT_TRUE(ReadPpm(bytes, image, error)) << error;
    return Image(image);
}

Image Prepare(const std::vector<uint8_t>& bytes, int screenWidth, int screenHeight, bool simd,
              Rect& place) {
    MemoryInputStream stream(bytes.data(), bytes.size());
    RasterImage image;
    EXPECT_TRUE(PreparePictureImage(stream, screenWidth, screenHeight, false, 32, simd, image,
                                    place, readExif(bytes.data(), bytes.size()).orientation));
    return Image(image);
}

// The largest and the mean difference of any channel between `other` and the pixels of its size
// at `pixels`, rows `stride` apart; a largest of -1 when `width` and `height` are not its size.
struct Difference {
    int Largest = -1;
    double Mean = 0;
};
Difference Compare(const Pixel* pixels, int width, int height, int stride, const Image& other) {
    Difference d;
    if (width != other.Width || height != other.Height) return d;
    long sum = 0;
    d.Largest = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int shift : {0, 8, 16}) {
                const int a = pixels[y * stride + x] >> shift & 0xFF;
                const int b = other.Pixels[y * width + x] >> shift & 0xFF;
                d.Largest = std::max(d.Largest, std::abs(a - b));
                sum += std::abs(a - b);
            }
    d.Mean = static_cast<double>(sum) / (3.0 * width * height);
    return d;
}
Difference Compare(const Image& image, const Image& other) {
    return Compare(image.Pixels.data(), image.Width, image.Height, image.Width, other);
}

} // namespace

// cjpeg at quality 95 without subsampling keeps every sample of these gradients within 16 levels
// of the original (the largest seen on either path; the corner of the blue block), about 1 on
// average; a picture the wrong way round is off by 63 to 107 on average.
TEST(OrientedPack, EveryPictureIsPreparedUprightOnEveryPath) {
    const Image upright = Ppm(Bytes(LM_ORIENTED_PACK "/upright.ppm"));
    Pack pack = ReadPack(LM_ORIENTED_PACK);
    ASSERT_EQ(pack.Pictures.size(), 8u);
    Rect place{};
    std::vector<Image> fitted;
    for (int i = 0; i < 8; ++i) {
        const std::string path = LM_ORIENTED_PACK "/" + pack.Pictures[i].Name;
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = Bytes(path);
        ASSERT_EQ(readExif(bytes.data(), bytes.size()).orientation, i + 1);
        for (const bool simd : {false, true}) {
            const Image shown = Prepare(bytes, 100, 100, simd, place);
            const Difference d = Compare(shown, upright);
            EXPECT_TRUE(d.Largest >= 0 && d.Largest <= 20 && d.Mean < 1.5)
                << (simd ? "packed" : "plain") << ": largest " << d.Largest << ", mean " << d.Mean;
            EXPECT_TRUE(place.left == 3 && place.top == 19);
            // prepare-picture reads the file as the show does.
            RasterImage read;
            std::string error, warning;
            ASSERT_TRUE(ReadPicture(path, simd, read, error, warning)) << error;
            EXPECT_EQ(Compare(Image(read), shown).Largest, 0);
        }
        // Fitted to a 30 x 30 screen as an upright 93 x 61 picture: 30 x 19, like the one stored
        // upright within what resampling leaves of the coding's differences.
        fitted.push_back(Prepare(bytes, 30, 30, false, place));
        EXPECT_TRUE(place.left == 0 && place.top == 5 && place.right == 30 && place.bottom == 24);
        const Difference d = Compare(fitted[i], fitted[0]);
        EXPECT_TRUE(d.Largest >= 0 && d.Largest <= 8) << "fitted: largest " << d.Largest;
    }

    // The proof sheet: eight 100 x 70 screens in a row, each picture 1:1 at (3, 4) of its screen
    // (the captions left out, so that their boxes cover nothing).
    for (PackPicture& picture : pack.Pictures)
        picture.Caption.clear();
    ProofOptions options;
    options.ScreenWidth = 100;
    options.ScreenHeight = 70;
    options.Columns = 8;
    const std::string sheetPath = LM_ORIENTED_PACK "/../oriented-proof.ppm";
    std::string error;
    ASSERT_TRUE(WriteProofSheet(pack, options, sheetPath, error)) << error;
    const Image sheet = Ppm(Bytes(sheetPath));
    for (int i = 0; i < 8; ++i) {
        const int left = 8 + i * (100 + 8) + 3, top = 8 + 4;
        const Difference d =
            Compare(sheet.Pixels.data() + top * sheet.Width + left, 93, 61, sheet.Width, upright);
        EXPECT_TRUE(d.Largest >= 0 && d.Largest <= 20 && d.Mean < 1.5)
            << "proof sheet cell " << i << ": largest " << d.Largest << ", mean " << d.Mean;
    }
}
