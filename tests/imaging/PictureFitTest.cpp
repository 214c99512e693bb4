#include "slideshow/PictureFit.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    int width, height, windowWidth, windowHeight;
    bool enlarge;
    int fittedWidth, fittedHeight, x, y;
    bool resample;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " on " << c.windowWidth << "x" << c.windowHeight
        << (c.enlarge ? " enlarging" : "");
}

class PictureFitCases : public testing::TestWithParam<Case> {};

} // namespace

TEST_P(PictureFitCases, FitsAndCentresAsTheScreenSaverDoes) {
    const Case& c = GetParam();
    const PictureFit fit = FitPicture(c.width, c.height, c.windowWidth, c.windowHeight, c.enlarge);
    EXPECT_EQ(fit.Width, c.fittedWidth);
    EXPECT_EQ(fit.Height, c.fittedHeight);
    EXPECT_EQ(fit.X, c.x);
    EXPECT_EQ(fit.Y, c.y);
    EXPECT_EQ(fit.Resample, c.resample);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, PictureFitCases,
    testing::Values(
        // Shrunk to the width, with or without enlarging.
        Case{1024, 720, 800, 600, false, 800, 562, 0, 19, true},
        Case{1024, 720, 800, 600, true, 800, 562, 0, 19, true},
        // Fits already: shown 1:1 and centred.
        Case{1024, 671, 1024, 768, false, 1024, 671, 0, 48, false},
        Case{1024, 671, 1024, 768, true, 1024, 671, 0, 48, false},
        Case{526, 768, 1280, 1024, false, 526, 768, 377, 128, false},
        Case{526, 768, 1280, 1024, true, 701, 1024, 289, 0, true},
        // The height ratio in single precision leaves this one a pixel short of the screen...
        Case{1024, 671, 1280, 768, true, 1172, 767, 54, 0, true},
        // ... and this one not.
        Case{1024, 702, 1280, 720, true, 1050, 720, 115, 0, true},
        // Exactly the window's size: never resampled.
        Case{800, 600, 800, 600, true, 800, 600, 0, 0, false},
        Case{800, 600, 800, 600, false, 800, 600, 0, 0, false},
        // The Display Properties preview scales every picture down.
        Case{1024, 768, 152, 112, false, 149, 111, 1, 0, true},
        Case{768, 1024, 152, 112, true, 84, 112, 34, 0, true},
        // The spare odd pixel goes to the right and the bottom.
        Case{10, 10, 15, 13, false, 10, 10, 2, 1, false},
        // A picture with no size stays 0 x 0 at the centre, also when enlarging.
        Case{0, 0, 1024, 768, true, 0, 0, 512, 384, false},
        Case{0, 0, 1024, 768, false, 0, 0, 512, 384, false},
        // Too thin to keep a row at this size.
        Case{4000, 2, 800, 600, false, 800, 0, 0, 300, true}));
