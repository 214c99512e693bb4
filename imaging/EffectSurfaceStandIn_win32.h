// STAND-IN, to be replaced by the effects' own surface when the real transition effects land:
// an EffectSurface that draws on the window's device context from the picture's memory context.
#pragma once

#include "imaging/TransitionEffect.h"

#include <windows.h>

class StandInEffectSurface : public EffectSurface {
public:
    StandInEffectSurface(HDC screen, HDC picture) : screen_(screen), picture_(picture) {}
    void CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) override {
        BitBlt(screen_, x, y, width, height, picture_, sourceX, sourceY, SRCCOPY);
    }
    void PaintBlack(int x, int y, int width, int height) override {
        BitBlt(screen_, x, y, width, height, nullptr, 0, 0, BLACKNESS);
    }

private:
    HDC screen_;
    HDC picture_;
};
