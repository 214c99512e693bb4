// Pictures and an allocator for the imaging tests.
#pragma once

#include "imaging/PixelBuffer.h"

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

// Every pixel random, byte 3 zero.
std::vector<Pixel> RandomImage(int width, int height, TestRandom& random);
// Smooth gradients with a little noise, like a photograph.
std::vector<Pixel> PhotoLikeImage(int width, int height, TestRandom& random);

// Makes every allocation after the first `successes` fail, for the life of the object.
class FailingAllocations {
public:
    explicit FailingAllocations(int successes);
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
    // Allocations that were refused so far.
    int Refused() const;

private:
    ImagingAllocateFunction previous;
};

// Counts allocations and the bytes asked for, for the life of the object.
class CountingAllocations {
public:
    CountingAllocations();
    ~CountingAllocations();
    CountingAllocations(const CountingAllocations&) = delete;
    CountingAllocations& operator=(const CountingAllocations&) = delete;
    int Count() const;

private:
    ImagingAllocateFunction previous;
};
