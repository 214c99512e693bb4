// Where a picture stands in the window: scaled to fit (enlarged only when EnlargeToFit is on) and
// centred, the spare odd pixel going to the right and to the bottom.
#pragma once

#include "base/Rect.h"

struct PictureFit {
    Rect Placement; // the fitted picture in window coordinates
    bool Resample;  // the fitted size differs from the picture's
};

// pictureWidth x pictureHeight: the decoded size (0 x 0 when nothing could be decoded);
// windowWidth x windowHeight: the outer size of the window (GetWindowRect).
PictureFit FitPicture(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight,
                      bool enlargeToFit);

class PictureWorkspace;
class RasterImage;

// What preparation does to a decoded picture before it becomes a device bitmap: fit it to the
// window, resample it when the size changes (MmxResampler when useSimd, else PlainResampler) and
// reduce its colours when the display has neither 24 nor 32 bits per pixel (MmxDitherer or
// PlainDitherer by the same choice). image then holds the prepared picture. Returns false when
// memory ran out: the picture is then not to be shown (image is left empty), and the show goes on.
// With a workspace the resampled buffer comes from it and the decoded one goes back to it.
bool FitAndReducePicture(RasterImage& image, int windowWidth, int windowHeight, bool enlargeToFit,
                         int bitsPerPixel, bool useSimd, PictureFit& fit,
                         PictureWorkspace* workspace = nullptr);
