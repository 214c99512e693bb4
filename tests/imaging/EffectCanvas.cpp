#include "tests/imaging/EffectCanvas.h"

#include "tests/imaging/TestSupport.h"

#include <algorithm>

EffectCanvas::EffectCanvas(int width, int height, const Rect& newRect, std::uint32_t seed)
    : Width(width), Height(height), PictureWidth(std::max(0, newRect.right - newRect.left)),
      PictureHeight(std::max(0, newRect.bottom - newRect.top)) {
    TestRandom random(seed);
    auto fill = [&random](std::vector<Pixel>& pixels, int count) {
        while (count-- > 0)
            pixels.push_back(
                PackPixel(1 + random.Below(255), random.Below(256), random.Below(256)));
    };
    fill(Screen, width * height);
    fill(Picture, PictureWidth * PictureHeight);
}

void EffectCanvas::CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) {
    Calls.push_back({true, x, y, width, height, sourceX, sourceY});
    Draw(Calls.back());
}

void EffectCanvas::PaintBlack(int x, int y, int width, int height) {
    Calls.push_back({false, x, y, width, height, 0, 0});
    Draw(Calls.back());
}

void EffectCanvas::Draw(const SurfaceCall& c) {
    Faults += c.width <= 0 || c.height <= 0;
    for (int y = c.y; y < c.y + c.height; ++y)
        for (int x = c.x, sx = c.sourceX, sy = c.sourceY + y - c.y; x < c.x + c.width; ++x, ++sx)
            if (x < 0 || x >= Width || y < 0 || y >= Height ||
                (c.copy && (sx < 0 || sx >= PictureWidth || sy < 0 || sy >= PictureHeight)))
                ++Faults;
            else
                Screen[y * Width + x] = c.copy ? Picture[sy * PictureWidth + sx] : 0, ++Drawn;
}

std::vector<RectPair> EffectRectPairs() {
    const int named[][8] = {{0, 0, 0, 0, 30, 20, 90, 70},      {40, 30, 80, 60, 20, 10, 100, 80},
                            {10, 30, 110, 60, 30, 15, 90, 75}, {20, 20, 61, 51, 20, 20, 60, 50},
                            {21, 19, 60, 50, 20, 20, 61, 51},  {0, 0, 0, 0, 11, 10, 16, 14},
                            {0, 0, 0, 0, 11, 10, 15, 15},      {30, 30, 35, 34, 31, 29, 34, 35},
                            {0, 0, 0, 0, 50, 40, 51, 41},      {0, 0, 0, 0, 50, 40, 54, 42},
                            {20, 20, 60, 50, 40, 35, 40, 35},  {0, 0, 0, 0, 0, 0, 0, 0}};
    std::vector<RectPair> pairs;
    for (const int* r : named)
        pairs.push_back({{r[0], r[1], r[2], r[3]}, {r[4], r[5], r[6], r[7]}});
    TestRandom random(12);
    for (int i = 0; i < 80; ++i) {
        const int left = random.Between(2, 110), top = random.Between(2, 80);
        const Rect r{left, top, left + random.Between(-2, 118 - left),
                     top + random.Between(-2, 88 - top)};
        if (i % 2 == 0)
            pairs.push_back({r, {}});
        else
            pairs.back().newRect = r;
    }
    return pairs;
}
