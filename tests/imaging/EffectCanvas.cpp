#include "tests/imaging/EffectCanvas.h"

#include "tests/imaging/TestSupport.h"

EffectCanvas::EffectCanvas(int width, int height, int pictureWidth, int pictureHeight,
                           std::uint32_t seed)
    : Width(width), Height(height), PictureWidth(pictureWidth), PictureHeight(pictureHeight),
      Draws(static_cast<std::size_t>(width) * height) {
    TestRandom random(seed);
    auto pixel = [&random] {
        return PackPixel(1 + random.Below(255), random.Below(256), random.Below(256));
    };
    for (int i = 0; i < width * height; ++i)
        Screen.push_back(pixel());
    for (int i = 0; i < pictureWidth * pictureHeight; ++i)
        Picture.push_back(pixel());
}

void EffectCanvas::CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) {
    Draw({true, x, y, width, height, sourceX, sourceY});
}

void EffectCanvas::PaintBlack(int x, int y, int width, int height) {
    Draw({false, x, y, width, height, 0, 0});
}

void EffectCanvas::Draw(const SurfaceCall& c) {
    Calls.push_back(c);
    Faults += c.width <= 0 || c.height <= 0;
    for (int j = 0; j < c.height; ++j)
        for (int i = 0; i < c.width; ++i) {
            const int x = c.x + i, y = c.y + j, sx = c.sourceX + i, sy = c.sourceY + j;
            const bool onPicture = sx >= 0 && sx < PictureWidth && sy >= 0 && sy < PictureHeight;
            if (x < 0 || x >= Width || y < 0 || y >= Height || (c.copy && !onPicture)) {
                ++Faults;
                continue;
            }
            Screen[y * Width + x] = c.copy ? Picture[sy * PictureWidth + sx] : 0;
            ++Draws[y * Width + x];
        }
}

std::vector<RectPair> EffectRectPairs() {
    std::vector<RectPair> pairs = {
        {{}, {30, 20, 90, 70}},
        {{40, 30, 80, 60}, {20, 10, 100, 80}},
        {{10, 30, 110, 60}, {30, 15, 90, 75}},
        {{20, 20, 61, 51}, {20, 20, 60, 50}},
        {{21, 19, 60, 50}, {20, 20, 61, 51}},
        {{}, {11, 10, 16, 14}},
        {{}, {11, 10, 15, 15}},
        {{30, 30, 35, 34}, {31, 29, 34, 35}},
        {{}, {50, 40, 51, 41}},
        {{}, {50, 40, 54, 42}},
        {{20, 20, 60, 50}, {40, 35, 40, 35}},
        {{}, {}},
    };
    TestRandom random(12);
    for (int i = 0; i < 40; ++i) {
        Rect r[2];
        for (Rect& e : r) {
            e.left = random.Between(2, 110);
            e.top = random.Between(2, 80);
            e.right = e.left + random.Between(-2, 118 - e.left);
            e.bottom = e.top + random.Between(-2, 88 - e.top);
        }
        pairs.push_back({r[0], r[1]});
    }
    return pairs;
}
