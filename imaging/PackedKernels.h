// The packed-integer inner loops of MmxResampler and MmxDitherer. Each lane is a signed 16-bit
// integer; a pixel occupies four lanes, lane i holding byte i. The portable functions compute
// exactly what the MMX ones (32-bit builds only) and the SSE2 ones compute.
#pragma once

#include "imaging/PixelBuffer.h"

#include <cstdint>

// One 8-byte entry of four lanes: a work column entry, a dither error slot, or a weight
// replicated in every lane.
struct alignas(8) PackedLanes {
    std::int16_t Lane[4];
};

// First source index and tap count of one output position.
struct PackedContributor {
    int First;
    int Count;
};

// A contributor entry without its leading and trailing zero weights, whose products are 0 and
// change no sum: the taps First .. First + Count - 1 with the weights Weights[0 .. Count - 1].
struct PackedTaps {
    int First;
    int Count;
    const PackedLanes* Weights;
};

// The taps of `count` consecutive entries whose weights follow each other from `weights`.
void TrimPackedTaps(const PackedContributor* entries, const PackedLanes* weights, int count,
                    PackedTaps* taps);

// Horizontal pass over a block of `columns` output columns (taps[0 .. columns - 1]) for source
// rows 0..rows-1: work[r * columns + c] = 2 x sum over taps k of mulhigh(128 x byte, weight), per
// lane.
void PackedHorizontalPortable(const Pixel* source, int sourceWidth, int rows,
                              const PackedTaps* taps, int columns, PackedLanes* work);
// Vertical pass: output row y (taps[y]), column c = sum over taps of mulhigh(work, weight), each
// lane shifted right by 6 (logical) and saturated to 0..255; byte 3 is cleared. `stride` is in
// pixels.
void PackedVerticalPortable(const PackedLanes* work, int columns, Pixel* output, int stride,
                            int rows, const PackedTaps* taps);
// Serpentine error diffusion over the whole buffer with the packed quantisers; `slots` holds
// width + 2 cleared entries.
void PackedDitherPortable(Pixel* pixels, int width, int height, bool deep, PackedLanes* slots);

#if LANTERNMOOR_HAVE_MMX
// The same in MMX instructions; each leaves the MMX state empty.
void PackedHorizontalMmx(const Pixel* source, int sourceWidth, int rows, const PackedTaps* taps,
                         int columns, PackedLanes* work);
void PackedVerticalMmx(const PackedLanes* work, int columns, Pixel* output, int stride, int rows,
                       const PackedTaps* taps);
void PackedDitherMmx(Pixel* pixels, int width, int height, bool deep, PackedLanes* slots);
#endif
#if LANTERNMOOR_HAVE_SSE2
// The resampler's passes in SSE2 instructions (two entries per register), for processors that
// have SSE2. The ditherer has none: each pixel waits for the error of the one before, and one
// pixel's four lanes fill an MMX register already.
void PackedHorizontalSse2(const Pixel* source, int sourceWidth, int rows, const PackedTaps* taps,
                          int columns, PackedLanes* work);
void PackedVerticalSse2(const PackedLanes* work, int columns, Pixel* output, int stride, int rows,
                        const PackedTaps* taps);
#endif
