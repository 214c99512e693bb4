#include "tests/imaging/Reference.h"

#include "imaging/FloatingPoint.h"
#include "imaging/Resampler.h"

#include <cmath>
#include <cstdint>

namespace reference {

namespace {

// One 16-bit lane: arithmetic modulo 2^16, read as signed.
std::int16_t Lane(long value) {
    const long wrapped = ((value % 65536) + 65536) % 65536;
    return static_cast<std::int16_t>(wrapped >= 32768 ? wrapped - 65536 : wrapped);
}

// Arithmetic shift right: floor division by 2^bits (exact in double for these magnitudes).
long Shift(long value, int bits) {
    return static_cast<long>(std::floor(static_cast<double>(value) / (1L << bits)));
}

// The high half of the signed 32-bit product.
std::int16_t MulHigh(std::int16_t a, std::int16_t b) {
    return Lane(Shift(static_cast<long>(a) * b, 16));
}

// A signed word packed into an unsigned byte with saturation.
int PackByte(std::int16_t value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

int ByteOf(Pixel p, int lane) {
    return static_cast<int>((p >> (8 * lane)) & 0xFF);
}

} // namespace

std::vector<Pixel> PackedResize(const std::vector<Pixel>& source, int width, int height,
                                int newWidth, int newHeight) {
    PackedContributorList horizontal, vertical;
    horizontal.Build(newWidth, width, PackedContributorList::Horizontal);
    vertical.Build(newHeight, height, PackedContributorList::Vertical);
    std::vector<Pixel> out(static_cast<std::size_t>(newWidth) * newHeight);
    std::vector<std::int16_t> work(static_cast<std::size_t>(height) * 4);
    for (int x = 0; x < newWidth; ++x) {
        const PackedContributor& h = horizontal.Entries()[x];
        const PackedLanes* hw = horizontal.Weights() + horizontal.WeightIndex(x);
        for (int r = 0; r < height; ++r)
            for (int lane = 0; lane < 4; ++lane) {
                std::int16_t acc = 0;
                for (int k = 0; k < h.Count; ++k) {
                    const Pixel p = source[static_cast<std::size_t>(r) * width + h.First + k];
                    acc = Lane(acc + MulHigh(Lane(ByteOf(p, lane) * 128), hw[k].Lane[lane]));
                }
                work[4 * r + lane] = Lane(acc * 2);
            }
        for (int y = 0; y < newHeight; ++y) {
            const PackedContributor& v = vertical.Entries()[y];
            const PackedLanes* vw = vertical.Weights() + vertical.WeightIndex(y);
            Pixel p = 0;
            for (int lane = 0; lane < 3; ++lane) {
                std::int16_t acc = 0;
                for (int k = 0; k < v.Count; ++k)
                    acc = Lane(acc + MulHigh(work[4 * (v.First + k) + lane], vw[k].Lane[lane]));
                const std::int16_t shifted = Lane(static_cast<std::uint16_t>(acc) / 64);
                p |= static_cast<Pixel>(PackByte(shifted)) << (8 * lane);
            }
            out[static_cast<std::size_t>(y) * newWidth + x] = p;
        }
    }
    return out;
}

std::vector<Pixel> PlainResize(const std::vector<Pixel>& source, int width, int height,
                               int newWidth, int newHeight) {
    PlainContributorList horizontal, vertical;
    horizontal.Build(newWidth, width);
    vertical.Build(newHeight, height);
    X87PrecisionScope extended(X87PrecisionScope::Extended);
    std::vector<Pixel> out(static_cast<std::size_t>(newWidth) * newHeight);
    std::vector<float> work(static_cast<std::size_t>(height) * 3);
    for (int x = 0; x < newWidth; ++x) {
        const PlainContributor& h = horizontal[x];
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (int k = 0; k < h.Count; ++k) {
                    const Pixel p = source[static_cast<std::size_t>(r) * width + h.First + k];
                    sum = RoundToFloat(sum + static_cast<long double>(ByteOf(p, c)) *
                                                 static_cast<long double>(h.Weights[k]));
                }
                work[3 * r + c] = sum;
            }
        for (int y = 0; y < newHeight; ++y) {
            const PlainContributor& v = vertical[y];
            Pixel p = 0;
            for (int c = 0; c < 3; ++c) {
                long double sum = 0;
                for (int k = 0; k < v.Count; ++k)
                    sum += static_cast<long double>(work[3 * (v.First + k) + c]) *
                           static_cast<long double>(v.Weights[k]);
                p |= (static_cast<Pixel>(static_cast<long>(sum)) & 0xFF) << (8 * c);
            }
            out[static_cast<std::size_t>(y) * newWidth + x] = p;
        }
    }
    return out;
}

void PackedDither(std::vector<Pixel>& pixels, int width, int height, bool deep) {
    // Slot s, lane l at errors[4 * s + l].
    std::vector<std::int16_t> errors(4 * (static_cast<std::size_t>(width) + 2), 0);
    for (int y = 0; y < height; ++y) {
        const bool forward = y % 2 == 0;
        std::int16_t carry[4] = {}, a[4] = {}, b[4] = {};
        int behind = forward ? 0 : width + 1;
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            Pixel& pixel = pixels[static_cast<std::size_t>(y) * width + x];
            Pixel out = 0;
            for (int lane = 0; lane < 4; ++lane) {
                const int value = lane < 3 ? ByteOf(pixel, lane) : 0;
                const std::int16_t sum = Lane(carry[lane] + errors[4 * (x + 1) + lane] + 8);
                const std::int16_t t = Lane(Shift(sum, 4));
                const int v = PackByte(Lane(value + t));
                const int q = deep ? (PackByte(Lane(v + 4)) & 0xF8) : ((5 * v + 128) / 256) * 51;
                const std::int16_t e = Lane(v - q);
                errors[4 * behind + lane] = Lane(a[lane] + 3 * e);
                a[lane] = Lane(b[lane] + 5 * e);
                b[lane] = e;
                carry[lane] = Lane(7 * e);
                out |= static_cast<Pixel>(q) << (8 * lane);
            }
            pixel = out;
            behind = x + 1;
        }
        for (int lane = 0; lane < 4; ++lane)
            errors[4 * (forward ? width : 1) + lane] = a[lane];
    }
}

} // namespace reference
