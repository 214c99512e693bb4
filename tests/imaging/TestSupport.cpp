#include "tests/imaging/TestSupport.h"

#include <cstdlib>

namespace {

TestAllocations* current = nullptr;

void* TestAllocate(std::size_t bytes) {
    ++current->Asked;
    if (current->Successes == 0) {
        ++current->Refused;
        return nullptr;
    }
    --current->Successes;
    return std::malloc(bytes);
}

int Byte(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

} // namespace

std::vector<Pixel> MakePicture(Pattern kind, int width, int height, TestRandom& random) {
    const int patch = random.Between(2, 9);
    const Pixel flat = PackPixel(random.Below(256), random.Below(256), random.Below(256));
    std::vector<Pixel> image(static_cast<std::size_t>(width) * height, flat);
    for (int y = 0; y < height && kind != Pattern::Flat; ++y)
        for (int x = 0; x < width; ++x) {
            const int r = random.Below(256), g = random.Below(256), b = random.Below(256);
            const int level = ((x / patch) * 7 + (y / patch) * 3) % 4 * 85;
            auto ramp = [&](int a, int c) {
                return Byte((a * x + c * y) * 255 / (a * width + c * height + 1) + r % 7 - 3);
            };
            image[static_cast<std::size_t>(y) * width + x] =
                kind == Pattern::Noise   ? static_cast<Pixel>(r ^ g) << 24 | PackPixel(r, g, b)
                : kind == Pattern::Photo ? PackPixel(ramp(3, 1), ramp(1, 2), ramp(2, 5))
                                         : PackPixel(b % 10 == 0 ? r : level, level, 255 - level);
        }
    return image;
}

TestAllocations::TestAllocations(int successes) : Successes(successes) {
    current = this;
    previous = SetImagingAllocateFunction(TestAllocate);
}

TestAllocations::~TestAllocations() {
    SetImagingAllocateFunction(previous);
}

#if defined(__SANITIZE_ADDRESS__)
// An allocation larger than the machine can give returns null, as the ordinary heap does, rather
// than stopping the test: the imaging code must cope with exactly that.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif
