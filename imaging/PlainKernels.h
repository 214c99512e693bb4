// The float passes of PlainResampler over a block of output columns: a horizontal sum is rounded
// to a 32-bit float after every tap, a vertical sum is kept in extended precision and truncated.
//
// Work layout: for each source row, the block's byte-0 values (one float per column), then its
// byte-1 values, then its byte-2 values: rows x 3 x columns floats.
#pragma once

#include "imaging/PixelBuffer.h"

#include <cstddef>

struct PlainContributor;

// A contributor entry without its leading and trailing zero weights (a product with 0 changes
// no sum, in any precision).
struct PlainTaps {
    int First;
    int Count;
    const float* Weights;
    // One weight of exactly 1: the sums are the values themselves.
    bool Copy;
};

PlainTaps PlainTapsOf(const PlainContributor& entry);

// The passes, operation by operation as designed (on the x87 in the 32-bit Windows build).
void PlainHorizontalScalar(const Pixel* source, int sourceWidth, int rows, const PlainTaps* taps,
                           int columns, float* work);
void PlainVerticalScalar(const float* work, int columns, Pixel* output, int stride, int rows,
                         const PlainTaps* taps);

// One horizontal entry of one source row with the designed roundings (extended precision,
// rounded to float after every tap): bytes 0, 1, 2 into out[0], out[step], out[2 x step].
void PlainHorizontalExact(const Pixel* line, const PlainTaps& taps, float* out, std::size_t step);

// One vertical sum in extended precision, truncated: the taps of `taps` over the values
// first[0], first[step], ...
int PlainVerticalExact(const float* first, std::size_t step, const PlainTaps& taps);
