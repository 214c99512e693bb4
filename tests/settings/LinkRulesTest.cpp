// The About box's portable rules: the browser's link colours as text, where the box goes over its
// owner, and where the link's text sits in its control.
#include "settings/AnchorColor.h"
#include "settings/Placement.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(AnchorColor, ReadsRedGreenBlueOrRejectsTheText) {
    const struct {
        const char* Text;
        std::optional<RgbColor> Color;
    } cases[] = {
        {"0,128,255", RgbColor{0, 128, 255}},
        {"255,255,255", RgbColor{255, 255, 255}},
        {"300,0,0", RgbColor{44, 0, 0}},             // each component cut to 8 bits
        {"x,y,z", RgbColor{0, 0, 0}},                // no digits read as 0
        {" 12 , +34,\t56 px", RgbColor{12, 34, 56}}, // white space, sign, trailing text
        {"-2,-3,-1", RgbColor{254, 253, 255}},       // only red and green may not be -1
        {"1,2,3,4", RgbColor{1, 2, 3}},              // blue stops at the next comma
        {"4294967297,0,0", RgbColor{1, 0, 0}},       // wraps rather than overflowing
        {"255,0", std::nullopt},                     // no third component
        {"255,0,", std::nullopt},                    // nothing after the second comma
        {"-1,0,0", std::nullopt},                    // -1 marks a missing component
        {"0,-1,0", std::nullopt},
        {"4294967295,0,0", std::nullopt}, // -1 modulo 2^32
        {"", std::nullopt},
        {"0 128 255", std::nullopt},
    };
    for (const auto& c : cases) {
        RgbColor color{7, 7, 7};
        EXPECT_EQ(ParseAnchorColor(c.Text, color), c.Color.has_value()) << c.Text;
        EXPECT_EQ(color, c.Color.value_or(RgbColor{7, 7, 7})) << c.Text;
    }
}

TEST(Placement, TheDialogIsCentredOverItsReferenceAndKeptInsideTheWorkArea) {
    const Box screen{0, 0, 1024, 768};
    const Box dialog{500, 500, 800, 700}; // 300 x 200, wherever it starts
    const struct {
        std::optional<Box> Reference;
        Box WorkArea;
        Box Dialog;
        Box Expected;
    } cases[] = {
        {Box{100, 100, 701, 501}, screen, dialog, {250, 200, 550, 400}},
        {std::nullopt, {0, 0, 1024, 738}, dialog, {362, 269, 662, 469}},   // no owner: work area
        {Box{-400, -300, 100, 100}, screen, dialog, {0, 0, 300, 200}},     // clamped left and top
        {Box{900, 700, 1300, 900}, screen, dialog, {724, 568, 1024, 768}}, // right and bottom
        {Box{-400, 0, 100, 768}, {60, 0, 1024, 768}, dialog, {60, 284, 360, 484}}, // taskbar left
        // Every halving rounds toward zero: -301 / 2 is -150, not -151.
        {Box{-301, -201, 0, 0},
         {-1000, -1000, 1000, 1000},
         {0, 0, 101, 51},
         {-200, -125, -99, -74}},
        // Larger than the work area: the top-left corner, with the caption, stays on it.
        {Box{400, 300, 1024, 768}, screen, {0, 0, 1200, 900}, {0, 0, 1200, 900}},
        {Box{-500, -500, 300, 300}, screen, {0, 0, 1200, 900}, {0, 0, 1200, 900}},
    };
    for (const auto& c : cases) {
        const Box placed =
            CentreDialog(c.Dialog, c.Reference ? &*c.Reference : nullptr, c.WorkArea);
        EXPECT_EQ(placed, c.Expected) << "at " << placed.Left << ", " << placed.Top;
    }
}

TEST(Placement, TheLinkTextSitsAtTheTopAlignedAsTheControlAlignsIt) {
    const Box client{0, 0, 101, 30};
    EXPECT_EQ(PlaceLinkText(client, 40, 13, TextAlignment::Left), (Box{0, 0, 40, 13}));
    EXPECT_EQ(PlaceLinkText(client, 40, 13, TextAlignment::Centre), (Box{30, 0, 70, 13}));
    EXPECT_EQ(PlaceLinkText(client, 40, 13, TextAlignment::Right), (Box{61, 0, 101, 13}));
    EXPECT_EQ(PlaceLinkText(client, 121, 26, TextAlignment::Centre), (Box{-10, 0, 111, 26}));
    EXPECT_EQ(PlaceLinkText({5, 7, 105, 37}, 40, 13, TextAlignment::Right), (Box{65, 7, 105, 20}));
}

} // namespace
