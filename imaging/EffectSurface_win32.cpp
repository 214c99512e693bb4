#include "imaging/EffectSurface_win32.h"

void DeviceContextSurface::CopyPicture(int x, int y, int width, int height, int sourceX,
                                       int sourceY) {
    BitBlt(screen, originX + x, originY + y, width, height, picture, sourceX, sourceY, SRCCOPY);
}

void DeviceContextSurface::PaintBlack(int x, int y, int width, int height) {
    BitBlt(screen, originX + x, originY + y, width, height, nullptr, 0, 0, BLACKNESS);
}
