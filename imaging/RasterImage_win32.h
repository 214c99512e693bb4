// A picture as a device bitmap of a device context.
#pragma once

#include "imaging/RasterImage.h"

#include <windows.h>

// A bitmap compatible with dc holding the picture's pixels. A failed CreateCompatibleBitmap gives
// a null handle; the caller owns what it gets.
HBITMAP CreateDeviceBitmap(const RasterImage& image, HDC dc);
