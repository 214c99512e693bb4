// A picture as a device bitmap of a device context.
#pragma once

#include "base/Handles_win32.h"
#include "imaging/RasterImage.h"

#include <windows.h>

// A bitmap compatible with dc holding the picture's pixels. A failed CreateCompatibleBitmap gives
// an empty object.
UniqueBitmap CreateDeviceBitmap(const RasterImage& image, HDC dc);
