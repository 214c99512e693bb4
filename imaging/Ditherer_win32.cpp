#include "imaging/Ditherer_win32.h"

int DisplayBitsPerPixel(HDC dc) {
    return GetDeviceCaps(dc, BITSPIXEL);
}
