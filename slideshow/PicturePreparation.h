// Everything of preparing one picture for the window that needs no device: decode, fit, centre,
// resample when the size changes, reduce the colours below 24 bits per pixel.
#pragma once

#include "base/Rect.h"

class JpegInputStream;
class PictureWorkspace;
class RasterImage;

// Prepares the picture in `stream` for a windowWidth x windowHeight window whose display has
// bitsPerPixel, with the packed-integer decoder, resampler and ditherer when useSimd, turned
// upright by its EXIF orientation first (1 to 8, read from the file's bytes; see
// imaging/Orientation.h): orientations 5 to 8 swap its width and height before it is fitted.
// Returns true with the prepared pixels in `image` and their place in the window in `placement`.
// Returns false when there is nothing to show: the stream holds no picture, or memory ran out (a
// picture too large for its buffers). `image` is then empty and `placement` an empty rectangle at
// the centre of the window, so the slot shows as background and the show goes on. With a
// workspace (kept from picture to picture) the large buffers come from it; give image's buffer
// back to it with PictureWorkspace::Keep when the picture is done.
bool PreparePictureImage(JpegInputStream& stream, int windowWidth, int windowHeight,
                         bool enlargeToFit, int bitsPerPixel, bool useSimd, RasterImage& image,
                         Rect& placement, int orientation = 1,
                         PictureWorkspace* workspace = nullptr);
