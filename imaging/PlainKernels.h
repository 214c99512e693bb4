// The float passes of PlainResampler over a block of output columns. A horizontal sum is rounded
// to a 32-bit float after every tap; a vertical sum is kept in extended precision and truncated.
// The passes reach those results by faster means where they provably agree with them: double
// precision where the products and sums are exact, single precision where the sum is far enough
// from an integer that its truncation cannot differ.
//
// Work layout: for each source row, the block's byte-0 values (one float per column), then its
// byte-1 values, then its byte-2 values: rows x 3 x columns floats.
#pragma once

#include "imaging/PackedKernels.h"
#include "imaging/PixelBuffer.h"

struct PlainContributor;

// A contributor entry without its leading and trailing zero weights (a product with 0 changes
// no sum, in any precision), with what the passes need to know about the rest.
struct PlainTaps {
    int First;
    int Count;
    const float* Weights;
    // Every non-zero weight is at least 2^-21 (and the entry says so): each horizontal step is
    // exact in double precision before its rounding to float.
    bool ExactInDouble;
    // Besides, no non-zero weight has more than 16 significant bits: byte x weight is exact in
    // single precision, and so each step is one float addition.
    bool ExactInFloat;
    // One weight of exactly 1: the sums are the values themselves.
    bool Copy;
    // Equal values v across the taps sum to exactly v in extended precision: the weights add up
    // to exactly 1 and every partial sum fits in 64 significant bits.
    bool FlatExact;
    // For non-negative values and weights, the single-precision vertical sum s lies within
    // s x Tolerance of the exact one. 0: the single-precision sums are not used.
    float Tolerance;
};

PlainTaps PlainTapsOf(const PlainContributor& entry);

// The passes on the x87 (the 32-bit Windows build): the designed arithmetic operation by
// operation. Natively they serve as the comparison for the SSE2 passes.
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

// A bound on the work values the horizontal pass makes with these taps: 255 x the largest sum of
// weights, raised by the roundings of the sums.
float PlainWorkBound(const PlainTaps* taps, int columns);

#if LANTERNMOOR_SSE2
// The same results four columns at a time (native build). The vertical pass takes work values
// that are not negative, at most `largest` (which PlainWorkBound gives; negative when no bound
// is known).
void PlainHorizontalSse2(const Pixel* source, int sourceWidth, int rows, const PlainTaps* taps,
                         int columns, float* work);
void PlainVerticalSse2(const float* work, int columns, Pixel* output, int stride, int rows,
                       const PlainTaps* taps, float largest);
#endif
