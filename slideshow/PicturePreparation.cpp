#include "slideshow/PicturePreparation.h"

#include "imaging/RasterImage.h"
#include "slideshow/PictureDecoding.h"
#include "slideshow/PictureFit.h"
#include "slideshow/PictureWorkspace.h"

bool PreparePictureImage(JpegInputStream& stream, int windowWidth, int windowHeight,
                         bool enlargeToFit, int bitsPerPixel, bool useSimd, RasterImage& image,
                         Rect& placement, int orientation, PictureWorkspace* workspace) {
    DecodedPicture outcome;
    PictureFit fit{};
    const bool prepared = DecodePicture(stream, useSimd, image, outcome, orientation, workspace) &&
                          image.Width() > 0 && image.Height() > 0 &&
                          FitAndReducePicture(image, windowWidth, windowHeight, enlargeToFit,
                                              bitsPerPixel, useSimd, fit, workspace) &&
                          !fit.Placement.IsEmpty();
    if (!prepared) {
        if (workspace != nullptr) workspace->Keep(image);
        image.Replace(nullptr, 0, 0);
        fit = FitPicture(0, 0, windowWidth, windowHeight, enlargeToFit);
    }
    placement = fit.Placement;
    return prepared;
}
