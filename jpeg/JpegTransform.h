// The decoder's two inverse DCTs and the tables they share. Blocks are 64 16-bit coefficients in
// natural (row-major) order; samples are 8 rows of 8 bytes.
#pragma once

#include <cstdint>

// Natural position of the k-th coefficient in stream (zig-zag) order, T.81 Figure A.6.
extern const uint8_t jpegZigZag[64];

// Integer LL&M transform of dequantised coefficients; works in place on block. This scalar
// version defines the arithmetic bit for bit.
void jpegIdctInteger(int16_t block[64], uint8_t samples[64]);

// The same samples for a row of blocks whose coefficients from zig-zag index extents[i] on are
// all 0, as the Huffman decoder leaves them (64: nothing known): rows of zeros are not
// transformed, and a block with DC alone is filled at once. Scalar code; leaves the
// coefficients as they were.
void jpegIdctIntegerRowSparse(const int16_t* coefficients, uint8_t* samples, int blocks,
                              const uint8_t* extents);

// Rows (of natural order) that may hold a non-zero coefficient, and columns likewise, when every
// coefficient from zig-zag index k on is 0: jpegRowsUsed[k] and jpegColumnsUsed[k], k = 0..64.
extern const uint8_t jpegRowsUsed[65];
extern const uint8_t jpegColumnsUsed[65];

// AAN scale factors: round(16384 x a(u) x a(v)), a(0) = 1, a(k) = sqrt(2) x cos(k x pi / 16).
extern const uint16_t jpegAanScale[64];

// Pre-scaled quantisation entry at natural position z for the AAN transform.
inline uint16_t jpegAanPrescale(int z, unsigned value) {
    // Fits 32 bits unsigned: 31521 x 65535 + 2048 < 2^31.
    return static_cast<uint16_t>((jpegAanScale[z] * value + 2048u) >> 12);
}

// AAN transform in 16-bit lanes of quantised coefficients with a pre-scaled table (natural
// order). The reference computes one lane at a time and defines the arithmetic bit for bit.
void jpegIdctAanReference(const int16_t coefficients[64], const int16_t quant[64],
                          uint8_t* const rows[8]);

// Transforms a row of consecutive blocks: block m x blocksPerMcu + b uses quant[b] and writes
// samples at the same index (64 bytes per block). The portable implementation: the reference.
void jpegIdctAanRowPortable(const int16_t* coefficients, uint8_t* samples, int mcus,
                            int blocksPerMcu, const int16_t* const* quant);
#if LANTERNMOOR_HAVE_MMX
// MMX, four lanes at a time; leaves the MMX state empty.
void jpegIdctAanRowMmx(const int16_t* coefficients, uint8_t* samples, int mcus, int blocksPerMcu,
                       const int16_t* const* quant);
// The same samples, knowing that the coefficients of block i from zig-zag index extents[i] on are
// 0: a block with DC alone is filled at once, and the first pass skips columns 4..7 when they
// hold nothing.
void jpegIdctAanRowMmxSparse(const int16_t* coefficients, uint8_t* samples, int mcus,
                             int blocksPerMcu, const int16_t* const* quant, const uint8_t* extents);
#endif
#if LANTERNMOOR_HAVE_SSE2
// SSE2, eight lanes at a time, with the extents as the MMX version takes them (null: nothing
// known); a block whose coefficient rows 4..7 are 0 leaves them out of the first pass.
void jpegIdctAanRowSse2(const int16_t* coefficients, uint8_t* samples, int mcus, int blocksPerMcu,
                        const int16_t* const* quant, const uint8_t* extents);
// The integer transform over a row of consecutive blocks in SSE2 lanes, with the scalar
// transform's 32-bit arithmetic (every step is linear modulo 2^32, so regrouping the products
// changes nothing); leaves the coefficients as they were.
void jpegIdctIntegerRowSse2(const int16_t* coefficients, uint8_t* samples, int blocks);
#endif
