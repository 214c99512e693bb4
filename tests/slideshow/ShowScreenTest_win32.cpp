// The show on a real screen: Lanternmoor.scr and its test builds run full screen in a virtual
// display of a given size and depth (screen-check.sh starts one per size and runs the suite named
// after it), and the pixels read back from the screen are compared with what prepare-picture makes
// of the same picture for the same screen: placement, order, paging, captions, timing, colour
// reduction, pictures that are damaged, grey, huge or no picture at all.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace harness;

namespace {

// The bits of a pixel that carry the picture: all 24, or at 16 bits per pixel the top five of each
// channel, which the device bitmap keeps (the screen shows them widened to its own bits).
const COLORREF kDisplayBits = [] {
    const HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return bits < 24 ? 0xF8F8F8u : 0xFFFFFFu;
}();

// A picture as prepare-picture made it for this screen: "W H X Y" and the pixels, 0xRRGGBB. Without
// a file (prepare-picture refused it) the screen saver shows nothing of it: all black.
struct Expected {
    std::string Name, Line;
    int Width = 0, Height = 0, X = 0, Y = 0;
    std::vector<COLORREF> Pixels;
    COLORREF At(int x, int y) const {
        return x >= X && x < X + Width && y >= Y && y < Y + Height
                   ? Pixels[static_cast<std::size_t>(y - Y) * Width + (x - X)]
                   : 0;
    }
};

Expected Load(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA("LM_EXPECTED", folder, sizeof folder);
    const std::string path = std::string(folder) + "\\" + name;
    Expected e;
    e.Name = name;
    std::getline(std::ifstream(path + ".txt"), e.Line);
    std::istringstream(e.Line) >> e.Width >> e.Height >> e.X >> e.Y;
    std::ifstream ppm(path + ".ppm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    ppm >> magic >> e.Width >> e.Height >> maxval;
    ppm.get();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(e.Width) * e.Height * 3);
    if (!ppm.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size())))
        e.Width = e.Height = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        e.Pixels.push_back(RGB(rgb[i + 2], rgb[i + 1], rgb[i]) & kDisplayBits);
    return e;
}

std::vector<Expected> Shipped(const std::string& suffix = "") {
    std::vector<Expected> pictures;
    for (const int id :
         {114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 134})
        pictures.push_back(Load(std::to_string(id) + suffix));
    return pictures;
}

// The whole screen, read back through GDI.
struct Screenshot {
    Screenshot() {
        const HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
                        {}};
        void* bits = nullptr;
        const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, Width, Height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        Pixels.assign(static_cast<COLORREF*>(bits), static_cast<COLORREF*>(bits) + Width * Height);
        for (COLORREF& p : Pixels)
            p &= kDisplayBits;
        DeleteObject(SelectObject(memory, old));
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    COLORREF At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
    int Width = GetSystemMetrics(SM_CXSCREEN), Height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<COLORREF> Pixels;
};

// The share of a 32 x 32 grid of points of `e` that the screen already shows.
double ShareShown(const Screenshot& shot, const Expected& e) {
    int same = 0;
    for (int i = 0; i < 32 * 32; ++i) {
        const int x = e.X + (i % 32 * 2 + 1) * e.Width / 64,
                  y = e.Y + (i / 32 * 2 + 1) * e.Height / 64;
        same += shot.At(x, y) == e.At(x, y);
    }
    return same / 1024.0;
}

// Whether the screen shows `e` on black, every pixel (those inside `skip` aside).
bool Shows(const Screenshot& shot, const Expected& e, const RECT& skip = RECT{}) {
    if (ShareShown(shot, e) < 1.0 && skip.right == 0) return false; // the quick answer
    for (int y = 0; y < shot.Height; ++y)
        for (int x = 0; x < shot.Width; ++x)
            if (shot.At(x, y) != e.At(x, y) && !PtInRect(&skip, POINT{x, y})) return false;
    return true;
}

bool WaitFor(const Expected& e, DWORD milliseconds = 15000) {
    return WaitUntil([&] { return Shows(Screenshot(), e); }, milliseconds);
}

// Waits until the screen shows one of `pictures` other than number `current`: its number, or -1.
int WaitForAnother(const std::vector<Expected>& pictures, int current) {
    int found = -1;
    WaitUntil(
        [&] {
            const Screenshot shot;
            for (std::size_t i = 0; i < pictures.size() && found < 0; ++i)
                if (static_cast<int>(i) != current && Shows(shot, pictures[i]))
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

// The settings of one run, on top of the defaults; the key is put back afterwards.
struct Settings {
    Settings(std::initializer_list<std::pair<const char*, DWORD>> values) {
        for (const auto& [name, value] : values)
            EXPECT_TRUE(SetDword(kSettingsKey, name, value)) << name;
    }
    RegistryKeySnapshot Snapshot{kSettingsKey};
};
// No caption, no transition, Page Up and Page Down on, no automatic step.
#define LM_PLAIN_PAGING                                                                            \
    {"ShowText", 0}, {"UseEffects", 0}, {"EnableKeys", 1}, {                                       \
        "PictureMillis", 600000                                                                    \
    }

void Quit(FullScreenRun& run) {
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen800x600x24, AllPicturesInAscendingOrRandomOrderExactlyPlacedAndPagingWraps) {
    const std::vector<Expected> pictures = Shipped();
    EXPECT_EQ(pictures[0].Line, "800 562 0 19"); // 1024 x 720
    for (const DWORD random : {0, 1}) {
        const Settings settings{LM_PLAIN_PAGING, {"RandomOrder", random}};
        FullScreenRun run;
        std::vector<int> order = PageDown(pictures, 17);
        // Page Down on the last shows the first; Page Up on the first the last.
        ASSERT_EQ(order.size(), 18u);
        EXPECT_EQ(order.back(), order.front());
        SendKeys({VK_PRIOR});
        EXPECT_EQ(WaitForAnother(pictures, order[0]), order[16]);
        order.pop_back();
        std::vector<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "one shown twice";
        // In order: ascending ids from index 0. Shuffled: none in its ascending place.
        for (int place = 0; place < 17; ++place)
            EXPECT_EQ(order[place] == place, random == 0) << pictures[order[place]].Name;
        Quit(run);
    }
}

TEST(Screen800x600x24, TheCaptionBoxEndsTwentyPixelsInFromThePicturesCorner) {
    const Settings settings{{"UseEffects", 0}, {"PictureMillis", 600000}};
    const Expected meadow = Load("114"); // 800 x 562 at (0, 19)
    // The caption measured as the saver measures it: the default font of a fresh memory context.
    const HMODULE scr =
        LoadLibraryExA(ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char caption[256] = {};
    ASSERT_GT(LoadStringA(scr, 114, caption, sizeof caption), 0);
    FreeLibrary(scr);
    const HDC memory = CreateCompatibleDC(nullptr);
    RECT text{};
    DrawTextA(memory, caption, -1, &text, DT_CALCRECT);
    DeleteDC(memory);
    // On screen: the box ends at picture column 780 and row 542 (exclusive), the text 10 inside.
    const RECT box{760 - text.right, 19 + 522 - text.bottom, 780, 19 + 542};
    RECT written = box;
    InflateRect(&written, -10, -10);

    FullScreenRun run;
    ASSERT_TRUE(WaitUntil([&] { return Shows(Screenshot(), meadow, box); }, 15000));
    const Screenshot shot;
    // The outline along picture column 779 and row 541; inside, one pixel of two blacked out and
    // the others the picture's, but where the white text is written.
    long kept[2] = {}, black[2] = {}, white = 0, otherOutsideText = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const COLORREF pixel = shot.At(x, y);
            if (x == box.left || x == 779 || y == box.top || y == 19 + 541)
                EXPECT_EQ(pixel, 0u) << "outline at " << x << ", " << y;
            else if (pixel == 0xFFFFFF && PtInRect(&written, POINT{x, y}))
                ++white;
            else if (pixel == 0 || pixel == meadow.At(x, y))
                ++(pixel == 0 ? black : kept)[(x + y) & 1];
            else
                otherOutsideText += !PtInRect(&written, POINT{x, y});
        }
    const int dark = black[0] > black[1] ? 0 : 1;
    const long half = (box.right - box.left - 2) * (box.bottom - box.top - 2) / 2;
    EXPECT_EQ(kept[dark], 0);
    EXPECT_GT(black[dark], half * 2 / 3);
    EXPECT_GT(kept[1 - dark], half / 2);
    EXPECT_EQ(otherOutsideText, 0);
    EXPECT_GT(white, 100) << "no white text";
    Quit(run);
}

TEST(Screen800x600x24, DamagedGreyHugeAndNoPicturesShowAsPreparedAndTheShowGoesOn) {
    const Settings settings{LM_PLAIN_PAGING};
    // The test build's pictures in id order: a photograph, one cut in half (black below what was
    // decoded), a grey one, one of 8192 x 8192, and bytes that are no picture (all black).
    const std::vector<Expected> pictures{Load("114"),  Load("cut"), Load("grey"),
                                         Load("huge"), Expected{},  Load("114")};
    EXPECT_EQ(pictures[2].Line, "16 16 392 292");
    FullScreenRun run(WindowsPath(LM_TEST_PICTURES_SCR));
    ASSERT_TRUE(WaitFor(pictures[0]));
    for (std::size_t i = 1; i < pictures.size(); ++i) {
        SendKeys({VK_NEXT});
        // 256 MB of pixels show fitted when the memory is there, else the background.
        const bool shown = WaitFor(pictures[i], 30000);
        if (i == 3) std::printf("the 8192 x 8192 picture %s\n", shown ? "shows" : "does not show");
        EXPECT_TRUE(shown || (i == 3 && WaitFor(Expected{}, 100))) << pictures[i].Name;
    }
    Quit(run);

    // A build without pictures: black; ticks and paging keys find nothing to show.
    const Settings often{{"EnableKeys", 1}, {"PictureMillis", 50}};
    FullScreenRun none(WindowsPath(LM_NO_PICTURES_SCR));
    SendKeys({VK_NEXT});
    SendKeys({VK_PRIOR});
    EXPECT_TRUE(StaysOpen(none.Saver, none.Window));
    EXPECT_TRUE(WaitFor(Expected{}, 3000));
    Quit(none);
}

TEST(Screen1024x768x24, TheFirstPictureComesAtOnceAndThenOneEveryPictureMillis) {
    const Settings settings{{"ShowText", 0}, {"UseEffects", 0}, {"PictureMillis", 2000}};
    const std::vector<Expected> pictures = Shipped();
    EXPECT_EQ(pictures[1].Line, "1024 671 0 48"); // shown 1:1
    SetCursorPos(kStartX, kStartY);
    DWORD shown = GetTickCount();
    Process saver(ScreenSaverPath(), "/s");
    for (int next = 0; next <= 3; ++next) {
        ASSERT_TRUE(WaitFor(pictures[next], 10000)) << pictures[next].Name;
        const DWORD after = GetTickCount() - shown;
        shown += after;
        std::printf("picture %s after %lu ms\n", pictures[next].Name.c_str(), after);
        EXPECT_LT(after, next == 0 ? 10000u : 6000u); // the first counted from the process start
        EXPECT_GT(after, next == 0 ? 0u : 1700u);
    }
    SetCursorPos(kStartX + 1, kStartY);
    EXPECT_TRUE(EndsWith(saver, 0));
}

TEST(Screen1024x768x24, WithEffectsTheNextPeriodStartsAfterTheTransition) {
    const Settings settings{
        {"ShowText", 0}, {"UseEffects", 1}, {"EffectMillis", 1500}, {"PictureMillis", 2500}};
    const std::vector<Expected> pictures = Shipped();
    FullScreenRun run;
    ASSERT_TRUE(WaitFor(pictures[0]));
    for (int next = 1; next <= 2; ++next) {
        // Whole for a whole period, then the transition to the next one (a period counted from
        // the step's start would end 1 s after the transition).
        const DWORD whole = GetTickCount();
        ASSERT_TRUE(WaitUntil([&] { return !Shows(Screenshot(), pictures[next - 1]); }, 10000));
        const DWORD begins = GetTickCount();
        ASSERT_TRUE(WaitFor(pictures[next], 10000));
        std::printf("whole for %lu ms, transition %lu ms\n", begins - whole,
                    GetTickCount() - begins);
        EXPECT_GT(begins - whole, 2000u);
        EXPECT_LT(begins - whole, 7000u);
        EXPECT_GT(GetTickCount() - begins, 1000u);
        EXPECT_LT(GetTickCount() - begins, 6000u);
    }
    SetCursorPos(kStartX + 1, kStartY);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen1024x768x24, AKeyDuringATransitionEndsItWithThePictureWholeBeforeTheSaverCloses) {
    const Settings settings{
        {"ShowText", 0}, {"UseEffects", 1}, {"EffectMillis", 6000}, {"PictureMillis", 200}};
    // On Windows 98 with a password.cpl of the tests that refuses the first close: the whole
    // picture stays to be seen after the cut-short transition.
    const std::string name = "LanternmoorShowW98.scr";
    const std::string folder = WindowsPath(std::string(LM_TEST_BINARY_DIR) + "/show-w98.d");
    const RegistryKeySnapshot wine("Software\\Wine\\AppDefaults\\" + name);
    ASSERT_TRUE(SetString("Software\\Wine\\AppDefaults\\" + name, "Version", "win98"));
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(ScreenSaverPath().c_str(), (folder + "\\" + name).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(LM_TEST_PASSWORD_CPL).c_str(),
                          (folder + "\\password.cpl").c_str(), FALSE));
    SetEnvironmentVariableA("LM_HOOK_REFUSED", nullptr);

    // The second transition, from the taller 114 to 115, is cut short: the final frame completes
    // 115 and paints black what is left of 114 above and below it.
    const Expected meadow = Load("114"), boats = Load("115");
    FullScreenRun run(folder + "\\" + name);
    ASSERT_TRUE(WaitFor(meadow));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const double share = ShareShown(Screenshot(), boats);
            return share > 0.05 && share < 0.4;
        },
        10000))
        << "no transition under way";
    SendKeys({'K'});
    const DWORD key = GetTickCount();
    ASSERT_TRUE(WaitFor(boats, 5000));
    std::printf("picture whole %lu ms after the key\n", GetTickCount() - key);
    EXPECT_LT(GetTickCount() - key, 2000u) << "the transition was not cut short";
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window)) << "the refused close was not heeded";
    SetCursorPos(kStartX + 1, kStartY);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen1280x1024x24, APortraitPictureStandsUnchangedOrEnlargedToTheScreensHeight) {
    for (const DWORD enlarge : {0, 1}) {
        const Settings settings{LM_PLAIN_PAGING, {"EnlargeToFit", enlarge}};
        const std::vector<Expected> pictures = Shipped(enlarge ? "-enlarge" : "");
        EXPECT_EQ(pictures[2].Line, enlarge ? "701 1024 289 0" : "526 768 377 128"); // 526 x 768
        FullScreenRun run;
        EXPECT_EQ(PageDown(pictures, 2), (std::vector<int>{0, 1, 2}));
        Quit(run);
    }
}

TEST(Screen1280x768x24, TheSinglePrecisionHeightRatioLeavesTheEnlargedPictureOnePixelShort) {
    const Settings settings{LM_PLAIN_PAGING, {"EnlargeToFit", 1}};
    const std::vector<Expected> pictures = Shipped("-enlarge");
    EXPECT_EQ(pictures[1].Line, "1172 767 54 0"); // 1024 x 671; the bottom row stays black
    FullScreenRun run;
    EXPECT_EQ(PageDown(pictures, 1), (std::vector<int>{0, 1}));
    Quit(run);
}

TEST(Screen1024x768x16, ColoursAreReducedToFiveBitsPerChannel) {
    const Settings settings{LM_PLAIN_PAGING};
    ASSERT_EQ(kDisplayBits, 0xF8F8F8u);
    // What the screen saver reduced to five bits per channel shows on screen; what the display
    // would truncate to five bits by itself does not.
    const Expected reduced = Load("114"), unreduced = Load("114-unreduced");
    FullScreenRun run;
    EXPECT_TRUE(WaitFor(reduced));
    const Screenshot shot;
    long truncated = 0;
    for (int i = 0; i < shot.Width * shot.Height; ++i)
        truncated += shot.Pixels[i] == unreduced.At(i % shot.Width, i / shot.Width);
    EXPECT_LT(truncated, shot.Width * shot.Height * 9 / 10);
    Quit(run);
}

} // namespace
