// Turning pictures upright as their rows come: every orientation across strip boundaries against
// the picture turned by plain transposes and flips (the oriented pack's test holds these turns
// to ImageMagick's), a picture that breaks off, and what turning allocates.
#include "imaging/Orientation.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Picture {
    int Width, Height;
    std::vector<Pixel> Pixels;
    bool operator==(const Picture& o) const {
        return Width == o.Width && Height == o.Height && Pixels == o.Pixels;
    }
};

// Feeds the first `rows` rows of `stored` through OrientedRows and finishes.
Picture Turn(const Picture& stored, int orientation, int rows = -1) {
    std::vector<Pixel> upright(stored.Pixels.size(), 0xDEADBEEF);
    OrientedRows placer(upright.data(), stored.Width, stored.Height, orientation);
    EXPECT_TRUE(placer.Ready());
    for (int y = 0; y < (rows < 0 ? stored.Height : rows); ++y) {
        std::memcpy(placer.NextRow(), &stored.Pixels[static_cast<size_t>(y) * stored.Width],
                    sizeof(Pixel) * stored.Width);
        placer.Commit();
    }
    placer.Finish();
    EXPECT_EQ(placer.NextRow(), nullptr);
    return SwapsSides(orientation) ? Picture{stored.Height, stored.Width, upright}
                                   : Picture{stored.Width, stored.Height, upright};
}

Picture Transposed(const Picture& p) {
    Picture t{p.Height, p.Width, p.Pixels};
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x)
            t.Pixels[static_cast<size_t>(x) * t.Width + y] =
                p.Pixels[static_cast<size_t>(y) * p.Width + x];
    return t;
}
Picture Mirrored(Picture p) {
    for (int y = 0; y < p.Height; ++y)
        std::reverse(p.Pixels.begin() + y * p.Width, p.Pixels.begin() + (y + 1) * p.Width);
    return p;
}
Picture Flipped(Picture p) {
    for (int y = 0; y < p.Height / 2; ++y)
        std::swap_ranges(p.Pixels.begin() + y * p.Width, p.Pixels.begin() + (y + 1) * p.Width,
                         p.Pixels.begin() + (p.Height - 1 - y) * p.Width);
    return p;
}

} // namespace

TEST(Orientation, AcrossStripsAndForAPictureThatBreaksOff) {
    // 35 rows: a whole strip of 32 and 3 rows.
    Picture stored{37, 35, std::vector<Pixel>(37 * 35)};
    std::mt19937 random(23);
    for (Pixel& p : stored.Pixels)
        p = random() | 1; // never black
    // The rows never delivered are black wherever they land.
    Picture broken = stored;
    std::fill(broken.Pixels.begin() + 20 * 37, broken.Pixels.end(), 0);
    // Each orientation as plain steps, in this order: transpose, mirror, flip upside down; 0 and
    // 9 are no valid orientation and leave the picture as stored.
    const bool steps[10][3] = {{},        {0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1},
                               {1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}, {}};
    const auto reference = [&](Picture p, int orientation) {
        const bool* step = steps[orientation];
        p = step[0] ? Transposed(p) : p;
        p = step[1] ? Mirrored(p) : p;
        return step[2] ? Flipped(p) : p;
    };
    for (int orientation = 0; orientation <= 9; ++orientation) {
        EXPECT_TRUE(Turn(stored, orientation) == reference(stored, orientation))
            << "orientation " << orientation;
        EXPECT_TRUE(Turn(stored, orientation, 20) == reference(broken, orientation))
            << "orientation " << orientation << ", 20 of 35 rows";
    }
}

TEST(Orientation, OnlyTurningOnItsSideTakesAStripAndItsFailureIsAnAnswer) {
    std::vector<Pixel> upright(8192 * 4);
    {
        TestAllocations none(0);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            OrientedRows placer(upright.data(), 8192, 4, orientation);
            EXPECT_EQ(placer.Ready(), orientation <= 4) << orientation;
            EXPECT_EQ(placer.NextRow() != nullptr, placer.Ready());
        }
        EXPECT_EQ(none.Refused, 4); // one strip for each of 5 to 8, nothing for 1 to 4
    }
    // The strip is 32 rows: 1 MB beside an 8192-wide picture of any height.
    static size_t allocated = 0;
    const ImagingAllocateFunction previous = SetImagingAllocateFunction([](size_t bytes) {
        allocated += bytes;
        return std::malloc(bytes); // ImagingFree frees with std::free
    });
    { OrientedRows placer(upright.data(), 8192, 4, 6); }
    SetImagingAllocateFunction(previous);
    EXPECT_EQ(allocated, size_t{32} * 8192 * sizeof(Pixel));
}
