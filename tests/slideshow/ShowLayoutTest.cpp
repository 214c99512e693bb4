// The show on several monitors: each monitor's area of the full-screen window in show order, the
// picture each monitor shows, and when the desktop counts as changed.
#include "slideshow/ShowLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

std::string Text(const std::vector<Rect>& areas) {
    std::string text;
    for (const Rect& r : areas)
        text += "(" + std::to_string(r.Left) + " " + std::to_string(r.Top) + " " +
                std::to_string(r.Right) + " " + std::to_string(r.Bottom) + ")";
    return text;
}

// Monitors as the system may list them (the primary not always first), the window over the
// virtual screen, and the areas: the primary first, then by left edge and then by top edge, in
// window coordinates.
TEST(ShowLayout, ThePrimaryMonitorFirstThenByLeftAndTopEdgeInWindowCoordinates) {
    const Monitor primary{{0, 0, 1024, 768}, true};
    const struct {
        const char* Name;
        std::vector<Monitor> Monitors;
        Rect Window;
        std::string Areas;
    } cases[] = {
        {"right of the primary",
         {primary, {{1024, 0, 1824, 600}, false}},
         {0, 0, 1824, 768},
         "(0 0 1024 768)(1024 0 1824 600)"},
        {"left of the primary",
         {{{-800, 0, 0, 600}, false}, primary},
         {-800, 0, 1024, 768},
         "(800 0 1824 768)(0 0 800 600)"},
        {"three, listed out of order: the left one first, though the right one is higher",
         {{{1024, -300, 1824, 300}, false}, {{-1280, -256, 0, 768}, false}, primary},
         {-1280, -300, 1824, 768},
         "(1280 300 2304 1068)(0 44 1280 1068)(2304 0 3104 600)"},
        {"two stacked right of the primary: by top edge",
         {{{1024, 600, 1824, 1200}, false}, primary, {{1024, 0, 1824, 600}, false}},
         {0, 0, 1824, 1200},
         "(0 0 1024 768)(1024 0 1824 600)(1024 600 1824 1200)"},
        {"one reaching out of the window is cut, one outside it left out",
         {primary, {{1000, 700, 1100, 800}, false}, {{2000, 0, 2100, 100}, false}},
         {0, 0, 1024, 768},
         "(0 0 1024 768)(1000 700 1024 768)"},
        {"no monitors: the whole window", {}, {-10, -20, 150, 100}, "(0 0 160 120)"},
        {"no primary", {{{1024, 0, 1824, 600}, false}}, {1024, 0, 1824, 600}, "(0 0 800 600)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(ShowAreas(c.Monitors, c.Window)), c.Areas) << c.Name;
}

// With 17 pictures the primary monitor shows the index of the step and the others one further
// on each, wrapping; with fewer pictures than monitors pictures repeat; nothing before the first
// step or in an empty show.
TEST(ShowLayout, EachMonitorShowsOnePictureFurtherOnThanTheOneBeforeIt) {
    const std::tuple<const char*, std::int32_t, std::size_t, std::size_t, std::int32_t> cases[] = {
        {"primary, first step", 0, 0, 17, 0},
        {"second monitor, first step", 0, 1, 17, 1},
        {"third monitor at the last picture", 16, 2, 17, 1},
        {"second monitor, one picture", 0, 1, 1, 0},
        {"third monitor, two pictures", 1, 2, 2, 1},
        {"before the first step", -1, 1, 17, -1},
        {"no pictures", 0, 1, 0, -1},
    };
    for (const auto& [name, base, offset, count, index] : cases)
        EXPECT_EQ(MonitorIndex(base, offset, count), index) << name;
}

TEST(ShowLayout, AnyMonitorMovedResizedAddedRemovedOrMadePrimaryChangesTheLayout) {
    const DisplayLayout two{{0, 0, 1824, 768},
                            {{{0, 0, 1024, 768}, true}, {{1024, 0, 1824, 600}, false}}};
    EXPECT_TRUE(SameLayout(two, two));
    auto changed = [&two](auto change) {
        DisplayLayout other = two;
        change(other);
        return !SameLayout(two, other) && !SameLayout(other, two);
    };
    EXPECT_TRUE(changed([](DisplayLayout& l) { l.Monitors[1].Bounds.Left = 1023; }));
    EXPECT_TRUE(changed([](DisplayLayout& l) { l.Monitors[1].Bounds.Bottom = 768; }));
    EXPECT_TRUE(changed([](DisplayLayout& l) { l.Monitors[1].Primary = true; }));
    EXPECT_TRUE(changed([](DisplayLayout& l) { l.Monitors.pop_back(); }));
    EXPECT_TRUE(changed([](DisplayLayout& l) { l.VirtualScreen.Right = 2048; }));
}

} // namespace
