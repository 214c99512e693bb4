#include "slideshow/PictureFit.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(PictureFit, FitsAndCentresAsTheScreenSaverDoes) {
    struct Case {
        int width, height, windowWidth, windowHeight;
        bool enlarge;
        PictureFit fit;
    } cases[] = {
        // Shrunk to the width, with or without enlarging.
        {1024, 720, 800, 600, false, {800, 562, 0, 19, true}},
        {1024, 720, 800, 600, true, {800, 562, 0, 19, true}},
        // Fits already: shown 1:1 and centred.
        {1024, 671, 1024, 768, false, {1024, 671, 0, 48, false}},
        {1024, 671, 1024, 768, true, {1024, 671, 0, 48, false}},
        {526, 768, 1280, 1024, false, {526, 768, 377, 128, false}},
        {526, 768, 1280, 1024, true, {701, 1024, 289, 0, true}},
        // The height ratio in single precision leaves this one a pixel short of the screen...
        {1024, 671, 1280, 768, true, {1172, 767, 54, 0, true}},
        // ... and this one not.
        {1024, 702, 1280, 720, true, {1050, 720, 115, 0, true}},
        // Exactly the window's size: never resampled.
        {800, 600, 800, 600, true, {800, 600, 0, 0, false}},
        {800, 600, 800, 600, false, {800, 600, 0, 0, false}},
        // The Display Properties preview scales every picture down.
        {1024, 768, 152, 112, false, {149, 111, 1, 0, true}},
        {768, 1024, 152, 112, true, {84, 112, 34, 0, true}},
        // The spare odd pixel goes to the right and the bottom.
        {10, 10, 15, 13, false, {10, 10, 2, 1, false}},
        // A picture with no size stays 0 x 0 at the centre, also when enlarging.
        {0, 0, 1024, 768, true, {0, 0, 512, 384, false}},
        {0, 0, 1024, 768, false, {0, 0, 512, 384, false}},
        // Too thin to keep a row at this size.
        {4000, 2, 800, 600, false, {800, 0, 0, 300, true}},
    };
    auto fields = [](const PictureFit& f) {
        return std::make_tuple(f.Width, f.Height, f.X, f.Y, f.Resample);
    };
    for (const Case& c : cases)
        EXPECT_EQ(fields(FitPicture(c.width, c.height, c.windowWidth, c.windowHeight, c.enlarge)),
                  fields(c.fit))
            << c.width << "x" << c.height << " on " << c.windowWidth << "x" << c.windowHeight
            << (c.enlarge ? " enlarging" : "");
}
