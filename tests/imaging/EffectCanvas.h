// A software screen for the transition effects, and the rectangle pairs they are tried on.
#pragma once

#include "imaging/PixelBuffer.h"
#include "imaging/TransitionEffect.h"

#include <cstdint>
#include <vector>

struct SurfaceCall {
    bool copy;
    int x, y, width, height, sourceX, sourceY;
};

// A width x height screen and a picture the size of newRect, both of random pixels that are
// never black. Records every call, counts the pixels drawn, and counts as faults every pixel
// drawn off the screen or read off the picture and every call with nothing to draw.
class EffectCanvas final : public EffectSurface {
public:
    EffectCanvas(int width, int height, const Rect& newRect, std::uint32_t seed);
    void CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) override;
    void PaintBlack(int x, int y, int width, int height) override;

    const int Width, Height, PictureWidth, PictureHeight;
    std::vector<Pixel> Screen, Picture;
    std::vector<SurfaceCall> Calls;
    long Drawn = 0, Faults = 0;

private:
    void Draw(const SurfaceCall& call);
};

struct RectPair {
    Rect oldRect, newRect;
};
// On a 120 x 90 screen: the first picture, a larger new one, an old one wider but shorter,
// off-by-one sizes, odd and even union widths, unions of one and two small cells, a picture that
// is not there, then random pairs (a few empty).
std::vector<RectPair> EffectRectPairs();
