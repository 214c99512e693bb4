#include "slideshow/PictureDecoding.h"

#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "jpeg/JpegDecoder.h"
#include "slideshow/PictureWorkspace.h"

#include <cstring>

bool DecodePicture(JpegInputStream& stream, bool useSimd, RasterImage& image,
                   DecodedPicture& outcome, PictureWorkspace* workspace) {
    JpegDecoder decoder;
    JpegDecoderOptions options;
    options.simdTransform = options.simdBitReader = useSimd;
    options.heap = workspace;
    decoder.begin(&stream, options);
    decoder.beginDecoding();
    const int width = decoder.width();
    const int height = decoder.height();
    outcome = DecodedPicture();

    Pixel* pixels =
        workspace != nullptr ? workspace->TakePixels(width, height) : AllocatePixels(width, height);
    if (pixels == nullptr) {
        decoder.releaseAll();
        outcome.ErrorCode = decoder.errorCode();
        image.Replace(nullptr, 0, 0);
        return false;
    }
    // Every line straight into the buffer, grey as grey.
    decoder.decodePixels(pixels, outcome.Lines);
    // A damaged picture shows what was decoded above a black remainder.
    const std::size_t done = static_cast<std::size_t>(outcome.Lines) * width;
    const std::size_t all = static_cast<std::size_t>(width) * height;
    if (done < all) std::memset(pixels + done, 0, (all - done) * sizeof(Pixel));
    decoder.releaseAll();
    outcome.ErrorCode = decoder.errorCode();
    image.Replace(pixels, width, height);
    return true;
}
