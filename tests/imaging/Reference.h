// Straightforward references for the imaging tests: the one definition of the packed lane
// arithmetic, and the float resampler written out column by column without blocking or fast
// paths. Every implementation is compared with these bit for bit.
#pragma once

#include "imaging/PixelBuffer.h"

#include <vector>

namespace reference {

// Resizes with the packed arithmetic: per output pixel and lane, the horizontal sums
// 2 x sum(mulhigh(128 x byte, w)) and the vertical sum(mulhigh(work, w)) >> 6 (logical),
// saturated; byte 3 of the result is 0. Uses the library's contributor lists.
std::vector<Pixel> PackedResize(const std::vector<Pixel>& source, int width, int height,
                                int newWidth, int newHeight);

// Resizes with the float arithmetic: horizontal sums in extended precision rounded to float
// after every addition, vertical sums in extended precision truncated.
std::vector<Pixel> PlainResize(const std::vector<Pixel>& source, int width, int height,
                               int newWidth, int newHeight);

// Serpentine diffusion with the packed quantisers, lane by lane.
void PackedDither(std::vector<Pixel>& pixels, int width, int height, bool deep);

} // namespace reference
