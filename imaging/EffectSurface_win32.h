// Where the transition effects draw on Windows: straight onto the window's device context,
// copying from the memory device context that holds the new picture's bitmap.
#pragma once

#include "imaging/TransitionEffect.h"

#include <windows.h>

class DeviceContextSurface final : public EffectSurface {
public:
    // Neither context is owned; both must outlive the surface. The effect's point (0, 0) is
    // (originX, originY) of the screen context: the top left corner of the monitor it runs on.
    DeviceContextSurface(HDC screen, HDC picture, int originX = 0, int originY = 0)
        : screen(screen), picture(picture), originX(originX), originY(originY) {}
    // The results of BitBlt are ignored: a piece that fails stays as it was, and the paint after
    // the transition copies the whole picture again.
    void CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) override;
    void PaintBlack(int x, int y, int width, int height) override;

private:
    HDC screen;
    HDC picture;
    int originX;
    int originY;
};
