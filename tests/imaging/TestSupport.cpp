#include "tests/imaging/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace {

TestAllocations* current = nullptr;

} // namespace

TestAllocations::TestAllocations(int successes) : Successes(successes) {
    current = this;
    Previous = SetImagingAllocateFunction([](std::size_t bytes) -> void* {
        if (current->Successes == 0) return ++current->Refused, nullptr;
        return --current->Successes, std::malloc(bytes);
    });
}

TestAllocations::~TestAllocations() {
    SetImagingAllocateFunction(Previous);
}

EffectCanvas::EffectCanvas(int width, int height, const Rect& newRect, std::uint32_t seed)
    : Width(width), Height(height), PictureWidth(std::max(0, newRect.Right - newRect.Left)),
      PictureHeight(std::max(0, newRect.Bottom - newRect.Top)) {
    std::mt19937 random(seed);
    auto fill = [&random](std::vector<Pixel>& pixels, int count) {
        while (count-- > 0)
            pixels.push_back(random() % 0xFFFFFF + 1); // never black
    };
    fill(Screen, width * height);
    fill(Picture, PictureWidth * PictureHeight);
}

void EffectCanvas::Draw(const SurfaceCall& c) {
    Calls.push_back(c);
    const auto [copy, x0, y0, width, height, sx0, sy0] = c;
    Faults += width <= 0 || height <= 0;
    for (int y = y0, sy = sy0; y < y0 + height; ++y, ++sy)
        for (int x = x0, sx = sx0; x < x0 + width; ++x, ++sx)
            if (x < 0 || x >= Width || y < 0 || y >= Height ||
                (copy && (sx < 0 || sx >= PictureWidth || sy < 0 || sy >= PictureHeight)))
                ++Faults;
            else
                Screen[y * Width + x] = copy ? Picture[sy * PictureWidth + sx] : 0, ++Drawn;
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
    std::mt19937 engine(12);
    auto between = [&engine](int low, int high) { return low + int(engine() % (high - low + 1)); };
    for (int i = 0; i < 80; ++i) {
        const int left = between(2, 110), top = between(2, 80);
        const Rect r{left, top, left + between(-2, 118 - left), top + between(-2, 88 - top)};
        if (i % 2 == 0)
            pairs.push_back({r, {}});
        else
            pairs.back().New = r;
    }
    return pairs;
}

#if defined(__SANITIZE_ADDRESS__)
// An allocation larger than the machine can give returns null, as the ordinary heap does, rather
// than stopping the test: the imaging code must cope with exactly that.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif
