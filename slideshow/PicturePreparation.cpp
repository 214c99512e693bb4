#include "slideshow/PicturePreparation.h"

#include "imaging/RasterImage.h"
#include "slideshow/PictureDecoding.h"
#include "slideshow/PictureFit.h"

bool PreparePictureImage(JpegInputStream& stream, int windowWidth, int windowHeight,
                         bool enlargeToFit, int bitsPerPixel, bool useSimd, RasterImage& image,
                         Rect& placement, int orientation) {
    DecodedPicture outcome;
    PictureFit fit{};
    const bool prepared = DecodePicture(stream, useSimd, image, outcome, orientation) &&
                          image.Width() > 0 && image.Height() > 0 &&
                          FitAndReducePicture(image, windowWidth, windowHeight, enlargeToFit,
                                              bitsPerPixel, useSimd, fit) &&
                          !fit.Placement.IsEmpty();
    if (!prepared) {
        image.Replace(nullptr, 0, 0);
        fit = FitPicture(0, 0, windowWidth, windowHeight, enlargeToFit);
    }
    placement = fit.Placement;
    return prepared;
}
