#include "slideshow/PictureDecoding.h"

#include "imaging/Orientation.h"
#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "jpeg/JpegDecoder.h"
#include "slideshow/PictureWorkspace.h"

namespace {

void StoreGreyLine(const uint8_t* line, Pixel* destination, int width) {
    for (int x = 0; x < width; ++x)
        destination[x] = PackPixel(line[x], line[x], line[x]);
}

} // namespace

bool DecodePicture(JpegInputStream& stream, bool useSimd, RasterImage& image,
                   DecodedPicture& outcome, int orientation, PictureWorkspace* workspace) {
    JpegDecoder decoder;
    JpegDecoderOptions options;
    options.simdTransform = options.simdBitReader = useSimd;
    options.heap = workspace;
    decoder.begin(&stream, options);
    decoder.beginDecoding();
    const int width = decoder.width();
    const int height = decoder.height();
    outcome = DecodedPicture();

    Pixel* pixels = workspace != nullptr
                        ? workspace->TakePixels(width, height, PictureWorkspace::Decoded)
                        : AllocatePixels(width, height);
    OrientedRows rows(pixels, width, height, orientation);
    if (pixels == nullptr || !rows.Ready()) {
        if (workspace != nullptr)
            workspace->Keep(pixels);
        else
            ImagingFree(pixels);
        decoder.releaseAll();
        outcome.ErrorCode = decoder.errorCode();
        image.Replace(nullptr, 0, 0);
        return false;
    }
    if (ValidOrientation(orientation) == 1) {
        // Upright, every line goes straight into its row, grey as grey.
        decoder.decodePixels(pixels, outcome.Lines);
        for (int y = 0; y < outcome.Lines; ++y) {
            rows.NextRow();
            rows.Commit();
        }
    } else {
        const bool grey = decoder.bytesPerPixel() == 1;
        const uint8_t* line = nullptr;
        int length = 0;
        while (outcome.Lines < height && decoder.decode(line, length) == 0) {
            Pixel* row = rows.NextRow();
            if (grey)
                StoreGreyLine(line, row, width);
            else
                StoreDecodedLine(line, row, width);
            rows.Commit();
            ++outcome.Lines;
        }
    }
    // A damaged picture shows what was decoded above a black remainder.
    rows.Finish();
    decoder.releaseAll();
    outcome.ErrorCode = decoder.errorCode();
    if (SwapsSides(orientation))
        image.Replace(pixels, height, width);
    else
        image.Replace(pixels, width, height);
    return true;
}
