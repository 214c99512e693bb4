#include "slideshow/PictureFit.h"

#include "imaging/Ditherer.h"
#include "imaging/FloatingPoint.h"
#include "imaging/RasterImage.h"
#include "imaging/Resampler.h"
#include "slideshow/PictureWorkspace.h"

namespace {

int HalfRoundedDown(int value) {
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

} // namespace

PictureFit FitPicture(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight,
                      bool enlargeToFit) {
    if (windowWidth < 0) windowWidth = 0;
    if (windowHeight < 0) windowHeight = 0;
    int width = pictureWidth > 0 ? pictureWidth : 0;
    int height = pictureHeight > 0 ? pictureHeight : 0;
    // A picture with no size stays 0 x 0 (the ratios would be infinite).
    if (width > 0 && height > 0) {
        // Double precision throughout, also on the x87 (whose 80-bit products could truncate
        // to one pixel less).
        X87PrecisionScope doubles(X87PrecisionScope::Double);
        const double sx = static_cast<double>(windowWidth) / width;
        // The height ratio is rounded to single precision, which can leave the fitted height
        // one pixel short of the window.
        const double sy = RoundToFloat(static_cast<double>(windowHeight) / height);
        const double s = sx < sy ? sx : sy;
        if (s < 1.0 || enlargeToFit) {
            width = static_cast<int>(width * s);
            height = static_cast<int>(height * s);
        }
    } else {
        width = 0;
        height = 0;
    }
    PictureFit fit;
    fit.Placement = RectAt(HalfRoundedDown(windowWidth - width),
                           HalfRoundedDown(windowHeight - height), width, height);
    fit.Resample = width != pictureWidth || height != pictureHeight;
    return fit;
}

namespace {

// The picture resampled to width x height into a new buffer (from the workspace when there is
// one); null when memory runs out.
Pixel* Resampled(const RasterImage& image, int width, int height, bool useSimd,
                 PictureWorkspace* workspace) {
    if (image.Width() <= 0 || image.Height() <= 0) return nullptr;
    if (workspace == nullptr)
        return useSimd ? MmxResampler(image.Pixels(), image.Width(), image.Height())
                             .Resize(width, height)
                       : PlainResampler(image.Pixels(), image.Width(), image.Height())
                             .Resize(width, height);
    MmxResampler packed(image.Pixels(), image.Width(), image.Height());
    PlainResampler plain(image.Pixels(), image.Width(), image.Height());
    Pixel* output = workspace->TakePixels(width, height, PictureWorkspace::Prepared);
    void* work = workspace->TakeBlock(useSimd ? packed.WorkBytes() : plain.WorkBytes(),
                                      PictureWorkspace::WorkColumn);
    const bool done = output != nullptr && work != nullptr &&
                      (useSimd ? packed.ResizeInto(width, height, output, work)
                               : plain.ResizeInto(width, height, output, work));
    workspace->Keep(work);
    if (done) return output;
    workspace->Keep(output);
    return nullptr;
}

} // namespace

bool FitAndReducePicture(RasterImage& image, int windowWidth, int windowHeight, bool enlargeToFit,
                         int bitsPerPixel, bool useSimd, PictureFit& fit,
                         PictureWorkspace* workspace) {
    fit = FitPicture(image.Width(), image.Height(), windowWidth, windowHeight, enlargeToFit);
    if (fit.Resample) {
        Pixel* resized =
            Resampled(image, fit.Placement.Width(), fit.Placement.Height(), useSimd, workspace);
        Pixel* decoded = image.Release();
        if (workspace != nullptr)
            workspace->Keep(decoded);
        else
            ImagingFree(decoded);
        if (resized == nullptr) return false;
        image.Replace(resized, fit.Placement.Width(), fit.Placement.Height());
    }
    if (NeedsColourReduction(bitsPerPixel)) {
        bool reduced;
        if (useSimd)
            reduced =
                MmxDitherer(bitsPerPixel, image.Pixels(), image.Width(), image.Height()).Dither();
        else
            reduced =
                PlainDitherer(bitsPerPixel, image.Pixels(), image.Width(), image.Height()).Dither();
        if (!reduced) {
            if (workspace != nullptr)
                workspace->Keep(image);
            else
                image.Replace(nullptr, 0, 0);
            return false;
        }
    }
    return true;
}
