// Pictures and an allocator for the imaging tests.
#pragma once

#include "imaging/PixelBuffer.h"

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

// Deterministic draws, the same in every build.
class TestRandom {
public:
    explicit TestRandom(std::uint32_t seed) : engine(seed) {}
    // 0 .. n - 1
    int Below(int n) { return static_cast<int>(engine() % static_cast<std::uint32_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }

private:
    std::mt19937 engine;
};

// Noise: every byte random, also the unused top byte that every output must clear.
// Photo: smooth gradients with a little noise.
// Patches: few levels in large patches with some noise, as in skies and shadows, where most
// neighbours are equal and the vertical sums land on integers.
// Flat: one random colour.
enum class Pattern { Noise, Photo, Patches, Flat };
std::vector<Pixel> MakePicture(Pattern kind, int width, int height, TestRandom& random);

// Replaces the imaging allocator for the life of the object: the first `successes` allocations
// are made, every later one is refused; Asked and Refused count them.
class TestAllocations {
public:
    explicit TestAllocations(int successes = INT_MAX);
    ~TestAllocations();
    int Successes, Asked = 0, Refused = 0;

private:
    ImagingAllocateFunction previous;
};
