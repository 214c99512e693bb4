#include "jpeg/JpegTransform.h"

#include "jpeg/JpegAanLanes.inl"

#include <cstring>

const uint8_t jpegZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

const uint16_t jpegAanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520, //
    22725, 31521, 29692, 26722, 22725, 17855, 12299, 6270, //
    21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906, //
    19266, 26722, 25172, 22654, 19266, 15137, 10426, 5315, //
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520, //
    12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552, //
    8867,  12299, 11585, 10426, 8867,  6967,  4799,  2446, //
    4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247,
};

// Index k: the rows (columns) of natural order that the zig-zag positions 0..k-1 reach.
const uint8_t jpegRowsUsed[65] = {
    0, 1, 1, 2, 3, 3, 3, 3, 3, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 6,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8,
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
};
const uint8_t jpegColumnsUsed[65] = {
    0, 1, 2, 2, 2, 2, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 6, 6, 6, 6, 6, 6,
    6, 6, 6, 6, 6, 6, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
};

namespace {

// The integer transform works modulo 2^32 as 32-bit hardware does: corrupt coefficients may
// overflow, and unsigned arithmetic keeps that defined.
using u32 = uint32_t;

inline u32 widen(int16_t v) {
    return static_cast<u32>(static_cast<int32_t>(v));
}
inline int32_t shiftRight(u32 v, int n) {
    return static_cast<int32_t>(v) >> n;
}
inline int16_t low16(int32_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}

inline uint8_t clampSample(int32_t v) {
    int16_t s = low16(v);
    return static_cast<uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
}

// LL&M 1-D transform, 13-bit fixed-point constants; y receives the unscaled outputs.
inline void llm(u32 d0, u32 d1, u32 d2, u32 d3, u32 d4, u32 d5, u32 d6, u32 d7, u32 y[8]) {
    u32 z1 = (d2 + d6) * 4433u;
    u32 t2 = z1 - d6 * 15137u;
    u32 t3 = z1 + d2 * 6270u;
    u32 t0 = (d0 + d4) << 13;
    u32 t1 = (d0 - d4) << 13;
    u32 e10 = t0 + t3, e13 = t0 - t3, e11 = t1 + t2, e12 = t1 - t2;

    u32 o0 = d7, o1 = d5, o2 = d3, o3 = d1;
    u32 z1o = o0 + o3, z2 = o1 + o2, z3 = o0 + o2, z4 = o1 + o3;
    u32 z5 = (z3 + z4) * 9633u;
    o0 *= 2446u;
    o1 *= 16819u;
    o2 *= 25172u;
    o3 *= 12299u;
    z1o *= static_cast<u32>(-7373);
    z2 *= static_cast<u32>(-20995);
    z3 *= static_cast<u32>(-16069);
    z4 *= static_cast<u32>(-3196);
    z3 += z5;
    z4 += z5;
    o0 += z1o + z3;
    o1 += z2 + z4;
    o2 += z2 + z3;
    o3 += z1o + z4;

    y[0] = e10 + o3;
    y[7] = e10 - o3;
    y[1] = e11 + o2;
    y[6] = e11 - o2;
    y[2] = e12 + o1;
    y[5] = e12 - o1;
    y[3] = e13 + o0;
    y[4] = e13 - o0;
}

// One 16-bit lane: the arithmetic every packed implementation must reproduce.
struct ScalarLanes {
    using V = int16_t;
    static V add(V a, V b) { return static_cast<V>(static_cast<uint16_t>(a + b)); }
    static V sub(V a, V b) { return static_cast<V>(static_cast<uint16_t>(a - b)); }
    static V mul(V a, int16_t c) {
        auto shifted = static_cast<V>(static_cast<uint16_t>(static_cast<uint16_t>(a) << 2));
        return static_cast<V>((static_cast<int32_t>(shifted) * c) >> 16);
    }
};

inline int16_t multiplyLow(int16_t a, int16_t b) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int32_t>(a) * b));
}

inline uint8_t aanOutput(int16_t v) {
    int32_t s = (v >> 5) + 128;
    if (s > 32767) s = 32767; // signed 16-bit saturation of the +128; cannot go below
    return static_cast<uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
}

} // namespace

namespace {

// The first pass of the integer transform over one row of coefficients into `out`, which may be
// the row itself: every input is read before anything is written.
inline void integerRow(const int16_t* d, int16_t* out) {
    if ((d[1] | d[2] | d[3] | d[4] | d[5] | d[6] | d[7]) == 0) {
        const int16_t dc = low16(static_cast<int32_t>(widen(d[0]) << 2));
        for (int i = 0; i < 8; ++i)
            out[i] = dc;
        return;
    }
    u32 y[8];
    llm(widen(d[0]), widen(d[1]), widen(d[2]), widen(d[3]), widen(d[4]), widen(d[5]), widen(d[6]),
        widen(d[7]), y);
    for (int i = 0; i < 8; ++i)
        out[i] = low16(shiftRight(y[i] + 1024u, 11));
}

} // namespace

void jpegIdctInteger(int16_t block[64], uint8_t samples[64]) {
    u32 y[8];
    for (int r = 0; r < 8; ++r)
        integerRow(block + 8 * r, block + 8 * r);
    for (int c = 0; c < 8; ++c) {
        const int16_t* d = block + c;
        if ((d[8] | d[16] | d[24] | d[32] | d[40] | d[48] | d[56]) == 0) {
            uint8_t s = clampSample(((d[0] + 16) >> 5) + 128);
            for (int r = 0; r < 8; ++r)
                samples[8 * r + c] = s;
            continue;
        }
        llm(widen(d[0]), widen(d[8]), widen(d[16]), widen(d[24]), widen(d[32]), widen(d[40]),
            widen(d[48]), widen(d[56]), y);
        for (int r = 0; r < 8; ++r)
            samples[8 * r + c] = clampSample(shiftRight(y[r] + 131072u, 18) + 128);
    }
}

namespace {

// Pass 1 over the rows 0..Rows-1 of in (rows below are zero and give zeros), pass 2 over the
// columns with the zero rows as constants, so that the compiler leaves out every product and
// sum they would add (exactly: x + 0 and 0 x c change nothing modulo 2^32).
template <int Rows> void integerBlockRows(const int16_t* in, uint8_t* samples) {
    int16_t pass1[8 * Rows];
    u32 y[8];
    for (int r = 0; r < Rows; ++r)
        integerRow(in + 8 * r, pass1 + 8 * r);
    for (int c = 0; c < 8; ++c) {
        const int16_t* d = pass1 + c;
        auto at = [d](int r) -> int16_t { return r < Rows ? d[8 * (r < Rows ? r : 0)] : 0; };
        if ((at(1) | at(2) | at(3) | at(4) | at(5) | at(6) | at(7)) == 0) {
            const uint8_t sample = clampSample(((d[0] + 16) >> 5) + 128);
            for (int r = 0; r < 8; ++r)
                samples[8 * r + c] = sample;
            continue;
        }
        llm(widen(at(0)), widen(at(1)), widen(at(2)), widen(at(3)), widen(at(4)), widen(at(5)),
            widen(at(6)), widen(at(7)), y);
        for (int r = 0; r < 8; ++r)
            samples[8 * r + c] = clampSample(shiftRight(y[r] + 131072u, 18) + 128);
    }
}

using IntegerBlock = void (*)(const int16_t*, uint8_t*);
const IntegerBlock integerBlockFor[9] = {
    integerBlockRows<1>, integerBlockRows<1>, integerBlockRows<2>,
    integerBlockRows<3>, integerBlockRows<4>, integerBlockRows<5>,
    integerBlockRows<6>, integerBlockRows<7>, integerBlockRows<8>,
};

} // namespace

void jpegIdctIntegerRowSparse(const int16_t* coefficients, uint8_t* samples, int blocks,
                              const uint8_t* extents) {
    for (int i = 0; i < blocks; ++i, coefficients += 64, samples += 64) {
        const int extent = extents[i] < 64 ? extents[i] : 64;
        if (extent <= 1) {
            // DC alone: pass 1 gives DC << 2 in row 0 and zeros below, pass 2 one value.
            const int16_t dc = low16(static_cast<int32_t>(widen(coefficients[0]) << 2));
            std::memset(samples, clampSample(((dc + 16) >> 5) + 128), 64);
            continue;
        }
        integerBlockFor[jpegRowsUsed[extent]](coefficients, samples);
    }
}

void jpegIdctAanReference(const int16_t coefficients[64], const int16_t quant[64],
                          uint8_t* const rows[8]) {
    int16_t t[64];
    int16_t d[8];
    for (int c = 0; c < 8; ++c) {
        for (int i = 0; i < 8; ++i)
            d[i] = multiplyLow(coefficients[8 * i + c], quant[8 * i + c]);
        jpegAanPass<ScalarLanes>(d);
        for (int i = 0; i < 8; ++i)
            t[8 * i + c] = d[i];
    }
    for (int r = 0; r < 8; ++r) {
        for (int j = 0; j < 8; ++j)
            d[j] = t[8 * r + j];
        jpegAanPass<ScalarLanes>(d);
        for (int j = 0; j < 8; ++j)
            rows[r][j] = aanOutput(d[j]);
    }
}
