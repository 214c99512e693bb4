// A picture as a device bitmap of a device context.
#pragma once

#include "imaging/RasterImage.h"
#include "win32/Handles_win32.h"

#include <windows.h>

// A bitmap compatible with dc holding the picture's pixels. A failed CreateCompatibleBitmap gives
// an empty object.
GdiObject<HBITMAP> CreateDeviceBitmap(const RasterImage& image, HDC dc);
