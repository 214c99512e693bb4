// Portable code with the lane arithmetic of the packed-integer instructions: 16-bit lanes that
// wrap around, mulhigh = the high half of the signed 32-bit product, saturating packs to bytes.
#include "imaging/PackedKernels.h"

namespace {

inline std::int16_t Wrap(int value) {
    return static_cast<std::int16_t>(value);
}

inline std::int16_t MulHigh(std::int16_t a, std::int16_t b) {
    return Wrap((static_cast<std::int32_t>(a) * b) >> 16);
}

// Packing a signed word into an unsigned byte with saturation.
inline int SaturateByte(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

inline std::int16_t ShiftRightLogical(std::int16_t value, int bits) {
    return Wrap(static_cast<std::uint16_t>(value) >> bits);
}

template <bool Deep> inline std::int16_t Quantise(std::int16_t v) {
    if (Deep) return Wrap(SaturateByte(Wrap(v + 4)) & 0xF8);
    return Wrap(ShiftRightLogical(Wrap(Wrap(v * 5) + 128), 8) * 51);
}

template <bool Deep> void DitherRows(Pixel* pixels, int width, int height, PackedLanes* slots) {
    for (int y = 0; y < height; ++y) {
        Pixel* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        const bool forward = (y % 2) == 0;
        PackedLanes carry = {}, a = {}, b = {};
        int behind = forward ? 0 : width + 1;
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            const Pixel in = row[x] & 0x00FFFFFFu;
            const PackedLanes& here = slots[x + 1];
            PackedLanes& back = slots[behind];
            Pixel out = 0;
            for (int l = 0; l < 4; ++l) {
                const std::int16_t t = Wrap(Wrap(Wrap(carry.Lane[l] + here.Lane[l]) + 8) >> 4);
                const std::int16_t v =
                    Wrap(SaturateByte(Wrap(static_cast<int>((in >> (8 * l)) & 0xFF) + t)));
                const std::int16_t q = Quantise<Deep>(v);
                const std::int16_t e = Wrap(v - q);
                back.Lane[l] = Wrap(a.Lane[l] + 3 * e);
                a.Lane[l] = Wrap(b.Lane[l] + 5 * e);
                b.Lane[l] = e;
                carry.Lane[l] = Wrap(7 * e);
                out |= static_cast<Pixel>(SaturateByte(q)) << (8 * l);
            }
            row[x] = out;
            behind = x + 1;
        }
        slots[forward ? width : 1] = a;
    }
}

} // namespace

void TrimPackedTaps(const PackedContributor* entries, const PackedLanes* weights, int count,
                    PackedTaps* taps) {
    auto zero = [](const PackedLanes& w) {
        return w.Lane[0] == 0 && w.Lane[1] == 0 && w.Lane[2] == 0 && w.Lane[3] == 0;
    };
    for (int i = 0; i < count; ++i) {
        int lead = 0, taken = entries[i].Count;
        while (taken > 0 && zero(weights[lead])) {
            ++lead;
            --taken;
        }
        while (taken > 0 && zero(weights[lead + taken - 1]))
            --taken;
        taps[i].First = entries[i].First + lead;
        taps[i].Count = taken;
        taps[i].Weights = weights + lead;
        weights += entries[i].Count;
    }
}

void PackedHorizontalPortable(const Pixel* source, int sourceWidth, int rows,
                              const PackedTaps* taps, int columns, PackedLanes* work) {
    for (int r = 0; r < rows; ++r) {
        const Pixel* line = source + static_cast<std::size_t>(r) * sourceWidth;
        PackedLanes* out = work + static_cast<std::size_t>(r) * columns;
        for (int c = 0; c < columns; ++c) {
            const Pixel* tap = line + taps[c].First;
            std::int16_t acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < taps[c].Count; ++k) {
                const Pixel p = tap[k];
                const PackedLanes& w = taps[c].Weights[k];
                for (int l = 0; l < 4; ++l)
                    acc[l] = Wrap(acc[l] + MulHigh(Wrap(((p >> (8 * l)) & 0xFF) << 7), w.Lane[l]));
            }
            for (int l = 0; l < 4; ++l)
                out[c].Lane[l] = Wrap(acc[l] * 2);
        }
    }
}

void PackedVerticalPortable(const PackedLanes* work, int columns, Pixel* output, int stride,
                            int rows, const PackedTaps* taps) {
    for (int y = 0; y < rows; ++y) {
        Pixel* out = output + static_cast<std::size_t>(y) * stride;
        const PackedTaps& entry = taps[y];
        for (int c = 0; c < columns; ++c) {
            const PackedLanes* tap = work + static_cast<std::size_t>(entry.First) * columns + c;
            std::int16_t acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < entry.Count; ++k, tap += columns)
                for (int l = 0; l < 4; ++l)
                    acc[l] = Wrap(acc[l] + MulHigh(tap->Lane[l], entry.Weights[k].Lane[l]));
            Pixel p = 0;
            for (int l = 0; l < 3; ++l)
                p |= static_cast<Pixel>(SaturateByte(ShiftRightLogical(acc[l], 6))) << (8 * l);
            out[c] = p;
        }
    }
}

void PackedDitherPortable(Pixel* pixels, int width, int height, bool deep, PackedLanes* slots) {
    if (deep)
        DitherRows<true>(pixels, width, height, slots);
    else
        DitherRows<false>(pixels, width, height, slots);
}
