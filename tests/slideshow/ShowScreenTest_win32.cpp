// The show on a real screen: Lanternmoor.scr and its test builds run full screen in a virtual
// display of a given size and depth (screen-check.sh starts one per size and runs the suite named
// after it), and the screen read back is compared with what prepare-picture makes of the same
// picture for the same screen: placement, order, paging, captions, timing, transitions, colour
// reduction, pictures that are damaged, grey, huge or no picture at all.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace harness;

namespace {

const int kWidth = GetSystemMetrics(SM_CXSCREEN), kHeight = GetSystemMetrics(SM_CYSCREEN);
// The bits that carry the picture: all 24, or at 16 bits per pixel the top five of each channel,
// which the device bitmap keeps (the screen shows them widened to its own bits).
const DWORD kDisplayBits = [] {
    const HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return bits < 24 ? 0xF8F8F8u : 0xFFFFFFu;
}();

std::vector<DWORD> Screenshot() {
    const HDC screen = GetDC(nullptr);
    std::vector<DWORD> pixels = ReadPixels(screen, 0, 0, kWidth, kHeight, kDisplayBits);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The screen as it must look with a picture that prepare-picture made for it ("W H X Y" and the
// pixels): the picture on black. Without a file (prepare-picture refused it) all black.
struct Expected {
    std::string Name, Line;
    std::vector<DWORD> Screen;
};

Expected Load(const std::string& name) {
    Expected e{name, "", {}};
    e.Screen = PreparedScreen(name, kWidth, kHeight, kDisplayBits, &e.Line);
    return e;
}

std::vector<Expected> Shipped(const std::string& suffix = "") {
    std::vector<Expected> pictures;
    for (const int id :
         {114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 134})
        pictures.push_back(Load(std::to_string(id) + suffix));
    return pictures;
}

bool WaitFor(const Expected& e, DWORD milliseconds = 15000) {
    return WaitUntil([&] { return Screenshot() == e.Screen; }, milliseconds);
}

// Waits until the screen shows one of `pictures` other than number `current`: its number, or -1.
int WaitForAnother(const std::vector<Expected>& pictures, int current) {
    int found = -1;
    WaitUntil(
        [&] {
            const std::vector<DWORD> shot = Screenshot();
            for (std::size_t i = 0; i < pictures.size() && found < 0; ++i)
                if (static_cast<int>(i) != current && shot == pictures[i].Screen)
                    found = static_cast<int>(i);
            return found >= 0;
        },
        15000);
    return found;
}

// Pages on from the first picture `steps` times: the numbers of the pictures shown in turn.
std::vector<int> PageDown(const std::vector<Expected>& pictures, std::size_t steps) {
    std::vector<int> order{WaitForAnother(pictures, -1)};
    while (order.size() <= steps && order.back() >= 0) {
        SendKeys({VK_NEXT});
        order.push_back(WaitForAnother(pictures, order.back()));
    }
    return order;
}

TEST(Screen800x600x24, AllPicturesInAscendingOrRandomOrderExactlyPlacedAndPagingWraps) {
    const std::vector<Expected> pictures = Shipped();
    EXPECT_EQ(pictures[0].Line, "800 562 0 19"); // 1024 x 720
    for (const DWORD random : {0, 1}) {
        const ShowSettings settings({{"RandomOrder", random}});
        FullScreenRun run;
        const std::vector<int> order = PageDown(pictures, 17);
        // Each shown once; Page Down on the last shows the first, Page Up on the first the last.
        ASSERT_EQ(order.size(), 18u);
        EXPECT_EQ(std::set<int>(order.begin(), order.end()).size(), 17u);
        EXPECT_EQ(order.back(), order.front());
        SendKeys({VK_PRIOR});
        EXPECT_EQ(WaitForAnother(pictures, order[0]), order[16]);
        // In order: ascending ids from index 0. Shuffled: none in its ascending place.
        for (int place = 0; place < 17; ++place)
            EXPECT_EQ(order[place] == place, random == 0) << pictures[order[place]].Name;
        Quit(run);
    }
}

TEST(Screen800x600x24, TheCaptionBoxEndsTwentyPixelsInFromThePicturesCorner) {
    const ShowSettings settings({{"ShowText", 1}});
    const Expected meadow = Load("114"); // 800 x 562 at (0, 19)
    const HMODULE scr =
        LoadLibraryExA(ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char caption[256] = {};
    ASSERT_GT(LoadStringA(scr, 114, caption, sizeof caption), 0);
    FreeLibrary(scr);
    const RECT text = MeasureText(caption);
    // On screen the box ends at picture column 780 and row 542 (exclusive), the text 10 inside.
    const RECT box{760 - text.right, 19 + 522 - text.bottom, 780, 19 + 542};
    FullScreenRun run;
    // Outside the box the picture; its outline along picture column 779 and row 541 black; inside,
    // one pixel of two black and the others the picture's, but where the white text is written.
    const int middle = 300 * kWidth + 300;
    WaitUntil([&] { return Screenshot()[middle] == meadow.Screen[middle]; }, 15000);
    Pump(500);
    const CaptionBoxPixels pixels = CountCaptionBox(Screenshot(), meadow.Screen, kWidth, box);
    EXPECT_TRUE(pixels.Wrong == 0 && pixels.White > 100)
        << pixels.Wrong << " pixels wrong, " << pixels.White << " white";
    Quit(run);
}

TEST(Screen800x600x24, DamagedGreyHugeAndNoPicturesShowAsPreparedAndTheShowGoesOn) {
    const ShowSettings settings;
    // The test build's pictures in id order: a photograph, one cut in half (black below what was
    // decoded), a grey one, one of 8192 x 8192 (fitted when the memory is there, else background)
    // and bytes that are no picture (all black).
    const Expected pictures[] = {Load("114"),  Load("cut"),  Load("grey"),
                                 Load("huge"), Load("none"), Load("114")};
    EXPECT_EQ(pictures[2].Line, "16 16 392 292");
    FullScreenRun run(WindowsPath(LM_TEST_PICTURES_SCR));
    ASSERT_TRUE(WaitFor(pictures[0]));
    for (int i = 1; i < 6; ++i) {
        SendKeys({VK_NEXT});
        EXPECT_TRUE(WaitFor(pictures[i], 30000) || (i == 3 && WaitFor(pictures[4], 100)))
            << pictures[i].Name;
    }
    Quit(run);
    // A build without pictures: black; ticks and paging keys find nothing to show.
    const ShowSettings often({{"PictureMillis", 50}});
    FullScreenRun none(WindowsPath(LM_NO_PICTURES_SCR));
    SendKeys({VK_NEXT});
    SendKeys({VK_PRIOR});
    EXPECT_TRUE(StaysOpen(none.Saver, none.Window));
    EXPECT_TRUE(WaitFor(pictures[4], 3000));
    Quit(none);
}

// With transitions the period starts after the transition: the picture stays whole for a whole
// period (counted from the step's start it would end 1 s after the transition). A key during a
// transition cuts it short and closes the saver at once.
TEST(Screen1024x768x24, WithEffectsThePeriodFollowsTheTransitionAndAKeyCutsOneShort) {
    const ShowSettings settings(
        {{"UseEffects", 1}, {"EffectMillis", 6000}, {"PictureMillis", 3000}});
    const std::vector<Expected> pictures = Shipped();
    EXPECT_EQ(pictures[1].Line, "1024 671 0 48"); // shown 1:1
    FullScreenRun run;
    ASSERT_TRUE(WaitFor(pictures[0]));
    const DWORD whole = GetTickCount();
    ASSERT_TRUE(WaitUntil([&] { return Screenshot() != pictures[0].Screen; }, 10000));
    const DWORD begins = GetTickCount();
    ASSERT_TRUE(WaitFor(pictures[1], 15000));
    const DWORD ends = GetTickCount();
    EXPECT_TRUE(begins - whole > 2000 && begins - whole < 8000) << begins - whole;
    EXPECT_TRUE(ends - begins > 3000 && ends - begins < 12000) << ends - begins;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<DWORD> shot = Screenshot();
            return shot != pictures[1].Screen && shot != pictures[2].Screen;
        },
        10000));
    SendKeys({'K'});
    EXPECT_TRUE(EndsWith(run.Saver, 0, 3000)) << "the transition was not cut short";
}

// The first picture comes at once, then one every PictureMillis (a stored 0 meaning the default 2
// s, at set-up and after each step); a portrait picture stands unchanged or enlarged to the
// screen's height.
TEST(Screen1280x1024x24, OnePictureEveryPictureMillisAndAPortraitOneUnchangedOrEnlarged) {
    for (const DWORD enlarge : {0, 1}) {
        const ShowSettings settings({{"PictureMillis", 0}, {"EnlargeToFit", enlarge}});
        const std::vector<Expected> pictures = Shipped(enlarge ? "-enlarge" : "");
        EXPECT_EQ(pictures[2].Line, enlarge ? "701 1024 289 0" : "526 768 377 128"); // 526 x 768
        DWORD shown = GetTickCount();
        FullScreenRun run;
        for (int next = 0; next <= 2; ++next) {
            ASSERT_TRUE(WaitFor(pictures[next], 10000)) << pictures[next].Name;
            const DWORD after = GetTickCount() - shown;
            shown += after;
            EXPECT_TRUE(next == 0 ? after < 10000 : after > 1700 && after < 6000) << after;
        }
        Quit(run);
    }
}

// What the screen saver reduced to five bits per channel (packed: MMX under Wine, the portable lane
// code in prepare-picture) shows on screen, not what the display would truncate by itself.
TEST(Screen1024x768x16, ColoursAreReducedToFiveBitsPerChannel) {
    const ShowSettings settings;
    ASSERT_EQ(kDisplayBits, 0xF8F8F8u);
    FullScreenRun run;
    EXPECT_TRUE(WaitFor(Load("114")));
    Quit(run);
}

} // namespace
