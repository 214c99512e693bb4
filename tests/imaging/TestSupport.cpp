#include "tests/imaging/TestSupport.h"

#include <cstdlib>

namespace {

int successesLeft = 0;
int refused = 0;
int counted = 0;

void* FailAfterSuccesses(std::size_t bytes) {
    if (successesLeft == 0) {
        ++refused;
        return nullptr;
    }
    --successesLeft;
    return std::malloc(bytes);
}

void* CountAllocation(std::size_t bytes) {
    ++counted;
    return std::malloc(bytes);
}

} // namespace

std::vector<Pixel> RandomImage(int width, int height, TestRandom& random) {
    std::vector<Pixel> image(static_cast<std::size_t>(width) * height);
    for (Pixel& p : image)
        p = PackPixel(random.Below(256), random.Below(256), random.Below(256));
    return image;
}

std::vector<Pixel> PhotoLikeImage(int width, int height, TestRandom& random) {
    std::vector<Pixel> image(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto channel = [&](int a, int b) {
                const int v =
                    (a * x + b * y) * 255 / (a * width + b * height + 1) + random.Between(-3, 3);
                return v < 0 ? 0 : (v > 255 ? 255 : v);
            };
            image[static_cast<std::size_t>(y) * width + x] =
                PackPixel(channel(3, 1), channel(1, 2), channel(2, 5));
        }
    return image;
}

FailingAllocations::FailingAllocations(int successes) {
    successesLeft = successes;
    refused = 0;
    previous = SetImagingAllocateFunction(FailAfterSuccesses);
}

FailingAllocations::~FailingAllocations() {
    SetImagingAllocateFunction(previous);
}

int FailingAllocations::Refused() const {
    return refused;
}

CountingAllocations::CountingAllocations() {
    counted = 0;
    previous = SetImagingAllocateFunction(CountAllocation);
}

CountingAllocations::~CountingAllocations() {
    SetImagingAllocateFunction(previous);
}

int CountingAllocations::Count() const {
    return counted;
}

#if defined(__SANITIZE_ADDRESS__)
// An allocation larger than the machine can give returns null, as the ordinary heap does, rather
// than stopping the test: the imaging code must cope with exactly that.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif
