// An allocator that fails on request, and a software screen for the transition effects.
#pragma once

#include "imaging/PixelBuffer.h"
#include "imaging/TransitionEffect.h"

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

// Replaces the imaging allocator for the life of the object: the first `successes` allocations
// are made, every later one is refused and counted.
struct TestAllocations {
    explicit TestAllocations(int successes = INT_MAX);
    ~TestAllocations();
    int Successes, Refused = 0;
    ImagingAllocateFunction Previous;
};

// One drawing call: copy (1) or black (0), x, y, width, height, source x, source y.
using SurfaceCall = std::array<int, 7>;

// A width x height screen and a picture the size of newRect, both of random pixels that are never
// black. Records every call, counts the pixels drawn, and counts as faults every pixel drawn off
// the screen or read off the picture and every call with nothing to draw.
struct EffectCanvas final : EffectSurface {
    EffectCanvas(int width, int height, const Rect& newRect, std::uint32_t seed);
    void CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) override {
        Draw({1, x, y, width, height, sourceX, sourceY});
    }
    void PaintBlack(int x, int y, int width, int height) override {
        Draw({0, x, y, width, height, 0, 0});
    }
    void Draw(const SurfaceCall& call);

    const int Width, Height, PictureWidth, PictureHeight;
    std::vector<Pixel> Screen, Picture;
    std::vector<SurfaceCall> Calls;
    long Drawn = 0, Faults = 0;
};

struct RectPair {
    Rect Old, New;
};
// On a 120 x 90 screen: the first picture, a larger new one, an old one wider but shorter,
// off-by-one sizes, odd and even union widths, unions of one and two small cells, a picture that
// is not there, then random pairs (a few empty).
std::vector<RectPair> EffectRectPairs();
