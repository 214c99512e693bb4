// The display depth the ditherers are built for, read from a device context.
#pragma once

#include <windows.h>

// GetDeviceCaps(dc, BITSPIXEL): 8 means a palette display; below 24 the colours are reduced.
int DisplayBitsPerPixel(HDC dc);
