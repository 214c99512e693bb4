// The show on a real screen: Lanternmoor.scr and its test builds run full screen in a virtual
// display of a given size and depth (screen-check.sh starts one per size and runs the suite named
// after it), and the pixels read back from the screen are compared with what prepare-picture makes
// of the same picture for the same screen: placement, order, paging, captions, timing, colour
// reduction, pictures that are damaged, grey, huge or no picture at all.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

using namespace harness;

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;

// A picture as prepare-picture prepared it for this screen: its size, place and pixels 0xRRGGBB.
// No file: prepare-picture refused it, so the screen saver shows nothing of it.
struct Expected {
    std::string Name;
    std::string Line; // "W H X Y"
    int Width = 0, Height = 0, X = 0, Y = 0;
    std::vector<COLORREF> Pixels;
    COLORREF At(int x, int y) const {
        return Pixels[static_cast<std::size_t>(y - Y) * Width + (x - X)];
    }
    bool Contains(int x, int y) const {
        return x >= X && x < X + Width && y >= Y && y < Y + Height;
    }
};

// The bits of a pixel that carry the picture: all 24, or at 16 bits per pixel the top five of each
// channel, which the device bitmap keeps (the screen shows them widened to its own bits).
COLORREF DisplayBits() {
    const HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return bits < 24 ? 0xF8F8F8 : 0xFFFFFF;
}
const COLORREF kDisplayBits = DisplayBits();

Expected Load(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA("LM_EXPECTED", folder, sizeof folder);
    Expected e;
    e.Name = name;
    std::ifstream line(std::string(folder) + "\\" + name + ".txt");
    std::getline(line, e.Line);
    std::istringstream(e.Line) >> e.Width >> e.Height >> e.X >> e.Y;
    std::ifstream ppm(std::string(folder) + "\\" + name + ".ppm", std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    ppm >> magic >> w >> h >> maxval;
    ppm.get();
    if (!ppm || magic != "P6" || w != e.Width || h != e.Height) {
        e.Width = e.Height = 0; // nothing shown
        return e;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(w) * h * 3);
    ppm.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); i += 3)
        e.Pixels.push_back(RGB(bytes[i + 2], bytes[i + 1], bytes[i]) & kDisplayBits); // 0xRRGGBB
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
class Screenshot {
public:
    Screenshot() : width_(GetSystemMetrics(SM_CXSCREEN)), height_(GetSystemMetrics(SM_CYSCREEN)) {
        const HDC screen = GetDC(nullptr);
        const HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const COLORREF*>(bits);
        pixels_.assign(pixels, pixels + static_cast<std::size_t>(width_) * height_);
        for (COLORREF& p : pixels_)
            p &= kDisplayBits;
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

private:
    int width_, height_;
    std::vector<COLORREF> pixels_;
};

// Pixels that differ from `e` shown on black (all black when `e` is nothing), outside `skip`.
long Differences(const Screenshot& shot, const Expected& e, const RECT& skip = RECT{}) {
    long count = 0;
    for (int y = 0; y < shot.Height(); ++y)
        for (int x = 0; x < shot.Width(); ++x) {
            if (x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom) continue;
            count += shot.At(x, y) != (e.Contains(x, y) ? e.At(x, y) : 0);
        }
    return count;
}

// The share of a 32 x 32 grid of points inside `e` that already show it.
double ShareShown(const Screenshot& shot, const Expected& e) {
    int same = 0;
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 32; ++j) {
            const int x = e.X + (2 * i + 1) * e.Width / 64, y = e.Y + (2 * j + 1) * e.Height / 64;
            same += shot.At(x, y) == e.At(x, y);
        }
    return same / 1024.0;
}

bool Shows(const Screenshot& shot, const Expected& e) {
    // A few points first: most candidates differ there already.
    if (e.Width > 0 && ShareShown(shot, e) < 1.0) return false;
    return Differences(shot, e) == 0;
}

// Waits until the screen shows one of `pictures` other than number `current`; its number, or -1.
int WaitForAnother(const std::vector<Expected>& pictures, int current, DWORD milliseconds) {
    int found = -1;
    WaitUntil(
        [&] {
            const Screenshot shot;
            for (std::size_t i = 0; i < pictures.size() && found < 0; ++i)
                if (static_cast<int>(i) != current && Shows(shot, pictures[i]))
                    found = static_cast<int>(i);
            return found >= 0;
        },
        milliseconds);
    return found;
}

bool WaitForPicture(const Expected& e, DWORD milliseconds) {
    return WaitUntil([&] { return Shows(Screenshot(), e); }, milliseconds);
}

// The registry settings of one run (the key is put back as it was afterwards).
class Settings {
public:
    Settings(std::initializer_list<std::pair<const char*, DWORD>> values) {
        for (const auto& [name, value] : values)
            EXPECT_TRUE(SetDword(kSettingsKey, name, value)) << name;
    }

private:
    RegistryKeySnapshot snapshot_{kSettingsKey};
};

// Steps through the whole show with Page Down from the first picture: the numbers of the
// pictures in the order shown, then the first again.
std::vector<int> StepThrough(const std::vector<Expected>& pictures) {
    std::vector<int> order{WaitForAnother(pictures, -1, 15000)};
    for (std::size_t i = 1; i <= pictures.size() && order.back() >= 0; ++i) {
        SendKeys({VK_NEXT});
        order.push_back(WaitForAnother(pictures, order.back(), 10000));
    }
    return order;
}

TEST(Screen800x600x24, EveryPictureInAscendingOrderExactlyInItsPlaceAndPagingWrapsBothWays) {
    const Settings settings{
        {"ShowText", 0}, {"UseEffects", 0}, {"EnableKeys", 1}, {"PictureMillis", 600000}};
    const std::vector<Expected> pictures = Shipped();
    EXPECT_EQ(pictures[0].Line, "800 562 0 19"); // 1024 x 720
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    // The first tick shows index 0; Page Down on the last shows the first.
    std::vector<int> ascending(pictures.size());
    std::iota(ascending.begin(), ascending.end(), 0);
    ascending.push_back(0);
    EXPECT_EQ(StepThrough(pictures), ascending);
    // Page Up on the first shows the last, and goes on backwards.
    SendKeys({VK_PRIOR});
    EXPECT_EQ(WaitForAnother(pictures, 0, 10000), 16);
    SendKeys({VK_PRIOR});
    EXPECT_EQ(WaitForAnother(pictures, 16, 10000), 15);
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen800x600x24, InRandomOrderNoPictureStandsInItsAscendingPlace) {
    const Settings settings{{"ShowText", 0},
                            {"UseEffects", 0},
                            {"EnableKeys", 1},
                            {"PictureMillis", 600000},
                            {"RandomOrder", 1}};
    const std::vector<Expected> pictures = Shipped();
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    std::vector<int> order = StepThrough(pictures);
    ASSERT_EQ(order.size(), pictures.size() + 1);
    EXPECT_EQ(order.back(), order.front()) << "Page Down on the last picture shows the first";
    order.pop_back();
    for (std::size_t place = 0; place < order.size(); ++place)
        EXPECT_NE(order[place], static_cast<int>(place)) << "picture " << pictures[place].Name;
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "shown twice";
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen800x600x24, TheCaptionBoxStandsTwentyPixelsInFromThePicturesCorner) {
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
    // In screen coordinates: the box ends at picture column 780 and row 542 (exclusive).
    const RECT box{780 - text.right - 20, 19 + 542 - text.bottom - 20, 780, 19 + 542};
    const RECT written{box.left + 10, box.top + 10, box.right - 10, box.bottom - 10};

    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Differences(Screenshot(), meadow, box) == 0; }, 15000))
        << "the picture around the caption box never showed";
    const Screenshot shot;
    // The outline along picture column 779 and row 541; the picture itself beyond them.
    for (int y = box.top; y < box.bottom; ++y)
        EXPECT_EQ(shot.At(779, y), 0u) << "outline at row " << y;
    for (int x = box.left; x < box.right; ++x)
        EXPECT_EQ(shot.At(x, 19 + 541), 0u) << "outline at column " << x;
    // Inside: one pixel of two blacked out, the others the picture's, but where the white text
    // is written.
    long kept[2] = {}, black[2] = {}, white = 0, outsideText = 0;
    for (int y = box.top + 1; y < box.bottom - 1; ++y)
        for (int x = box.left + 1; x < box.right - 1; ++x) {
            const COLORREF pixel = shot.At(x, y);
            const int parity = (x + y) & 1;
            const bool inText =
                x >= written.left && x < written.right && y >= written.top && y < written.bottom;
            if (pixel == kWhite && inText)
                ++white;
            else if (pixel == 0)
                ++black[parity];
            else if (pixel == meadow.At(x, y))
                ++kept[parity];
            else
                outsideText += !inText;
        }
    const int dark = black[0] > black[1] ? 0 : 1;
    EXPECT_EQ(kept[dark], 0);
    EXPECT_GT(black[dark], (box.right - box.left - 2) * (box.bottom - box.top - 2) / 3);
    EXPECT_GT(kept[1 - dark], (box.right - box.left - 2) * (box.bottom - box.top - 2) / 4);
    EXPECT_EQ(outsideText, 0);
    EXPECT_GT(white, 100) << "no white text";
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen800x600x24, DamagedGreyHugeAndBrokenPicturesShowAsPreparedAndTheShowStepsOn) {
    const Settings settings{
        {"ShowText", 0}, {"UseEffects", 0}, {"EnableKeys", 1}, {"PictureMillis", 600000}};
    // The test build's pictures in id order: a photograph, one cut in half (black below what was
    // decoded), a grey one, one of 8192 x 8192, and bytes that are no picture (nothing shown).
    const std::vector<Expected> pictures{Load("114"), Load("cut"), Load("grey"), Load("huge"),
                                         Expected{}};
    EXPECT_EQ(pictures[2].Line, "16 16 392 292");
    FullScreenRun run(WindowsPath(LM_TEST_PICTURES_SCR));
    ASSERT_NE(run.Window, nullptr);
    ASSERT_TRUE(WaitForPicture(pictures[0], 15000));
    for (std::size_t i = 1; i < pictures.size(); ++i) {
        SCOPED_TRACE(pictures[i].Name);
        SendKeys({VK_NEXT});
        if (pictures[i].Name == "huge") {
            // 256 MB of pixels: shown fitted when the memory is there, else background.
            const bool shown = WaitForPicture(pictures[i], 30000);
            std::printf("the 8192 x 8192 picture %s\n", shown ? "shows" : "does not show");
            EXPECT_TRUE(shown || WaitForPicture(Expected{}, 100));
        } else {
            EXPECT_TRUE(WaitForPicture(pictures[i], 15000));
        }
        ASSERT_TRUE(run.Saver.Running());
    }
    SendKeys({VK_NEXT});
    EXPECT_TRUE(WaitForPicture(pictures[0], 15000)) << "the show did not go on";
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen800x600x24, WithoutPicturesTheScreenStaysBlackUntilInput) {
    const Settings settings{{"EnableKeys", 1}, {"PictureMillis", 50}};
    FullScreenRun run(WindowsPath(LM_NO_PICTURES_SCR));
    ASSERT_NE(run.Window, nullptr);
    SendKeys({VK_NEXT});
    SendKeys({VK_PRIOR});
    // Ticks and paging keys find nothing to show; the saver goes on.
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    EXPECT_TRUE(WaitForPicture(Expected{}, 3000));
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen1024x768x24, TheFirstPictureComesAtOnceAndThenOneEveryPictureMillis) {
    const Settings settings{{"ShowText", 0}, {"UseEffects", 0}, {"PictureMillis", 2000}};
    const std::vector<Expected> pictures = Shipped();
    EXPECT_EQ(pictures[1].Line, "1024 671 0 48"); // shown 1:1
    SetCursorPos(kStartX, kStartY);
    const DWORD start = GetTickCount();
    Process saver(ScreenSaverPath(), "/s");
    ASSERT_TRUE(WaitForPicture(pictures[0], 15000));
    const DWORD first = GetTickCount() - start;
    std::printf("first picture on screen %lu ms after the process started\n",
                static_cast<unsigned long>(first));
    EXPECT_LT(first, 10000u);
    DWORD shown = GetTickCount();
    for (int next = 1; next <= 3; ++next) {
        ASSERT_TRUE(WaitForPicture(pictures[next], 10000)) << pictures[next].Name;
        const DWORD period = GetTickCount() - shown;
        shown += period;
        std::printf("picture %s after %lu ms\n", pictures[next].Name.c_str(),
                    static_cast<unsigned long>(period));
        EXPECT_GT(period, 1700u);
        EXPECT_LT(period, 6000u);
    }
    SetCursorPos(kStartX + 1, kStartY);
    EXPECT_TRUE(EndsWith(saver, 0));
}

TEST(Screen1024x768x24, WithEffectsTheNextPeriodStartsAfterTheTransition) {
    const Settings settings{
        {"ShowText", 0}, {"UseEffects", 1}, {"EffectMillis", 1500}, {"PictureMillis", 2500}};
    const std::vector<Expected> pictures = Shipped();
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    ASSERT_TRUE(WaitForPicture(pictures[0], 15000));
    for (int next = 1; next <= 2; ++next) {
        const DWORD complete = GetTickCount();
        // The picture stays whole for a whole period, then the transition to the next one begins
        // (a period counted from the start of the step would end 1 s after the transition).
        ASSERT_TRUE(WaitUntil([&] { return !Shows(Screenshot(), pictures[next - 1]); }, 10000));
        const DWORD begins = GetTickCount();
        ASSERT_TRUE(WaitForPicture(pictures[next], 10000));
        const DWORD ends = GetTickCount();
        std::printf("picture %s whole for %lu ms, transition %lu ms\n",
                    pictures[next - 1].Name.c_str(), static_cast<unsigned long>(begins - complete),
                    static_cast<unsigned long>(ends - begins));
        EXPECT_GT(begins - complete, 2000u);
        EXPECT_LT(begins - complete, 7000u);
        EXPECT_GT(ends - begins, 1000u);
        EXPECT_LT(ends - begins, 6000u);
    }
    SetCursorPos(kStartX + 1, kStartY);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen1024x768x24, AKeyDuringATransitionEndsItWithThePictureWholeBeforeTheSaverCloses) {
    const Settings settings{
        {"ShowText", 0}, {"UseEffects", 1}, {"EffectMillis", 6000}, {"PictureMillis", 200}};
    // On Windows 98 with a password.cpl of the tests that refuses the first close: the whole
    // picture stays to be seen after the cut-short transition.
    const std::string exeName = "LanternmoorShowW98.scr";
    const std::string appDefaults = "Software\\Wine\\AppDefaults\\" + exeName;
    const RegistryKeySnapshot wineVersion(appDefaults);
    ASSERT_TRUE(SetString(appDefaults, "Version", "win98"));
    const std::string folder = WindowsPath(std::string(LM_TEST_BINARY_DIR) + "/show-w98.d");
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(ScreenSaverPath().c_str(), (folder + "\\" + exeName).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(LM_TEST_PASSWORD_CPL).c_str(),
                          (folder + "\\password.cpl").c_str(), FALSE));
    SetEnvironmentVariableA("LM_HOOK_REFUSED", nullptr);

    // The second transition, from the taller 114 to 115, is cut short: the final frame completes
    // 115 and paints black what is left of 114 above and below it.
    const Expected meadow = Load("114"), boats = Load("115");
    FullScreenRun run(folder + "\\" + exeName);
    ASSERT_NE(run.Window, nullptr);
    ASSERT_TRUE(WaitForPicture(meadow, 15000));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const double share = ShareShown(Screenshot(), boats);
            return share > 0.05 && share < 0.4;
        },
        10000))
        << "no transition under way";
    SendKeys({'K'});
    const DWORD key = GetTickCount();
    ASSERT_TRUE(WaitForPicture(boats, 5000));
    const DWORD whole = GetTickCount() - key;
    std::printf("picture whole %lu ms after the key\n", static_cast<unsigned long>(whole));
    EXPECT_LT(whole, 2000u) << "the transition was not cut short";
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window)) << "the refused close was not heeded";
    SetCursorPos(kStartX + 1, kStartY);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen1280x1024x24, APortraitPictureStandsUnchangedOrEnlargedToTheScreensHeight) {
    for (const bool enlarge : {false, true}) {
        const Settings settings{{"ShowText", 0},
                                {"UseEffects", 0},
                                {"EnableKeys", 1},
                                {"PictureMillis", 600000},
                                {"EnlargeToFit", enlarge ? 1u : 0u}};
        const std::vector<Expected> pictures = Shipped(enlarge ? "-enlarge" : "");
        // 526 x 768
        EXPECT_EQ(pictures[2].Line, enlarge ? "701 1024 289 0" : "526 768 377 128");
        FullScreenRun run;
        ASSERT_NE(run.Window, nullptr);
        ASSERT_EQ(WaitForAnother(pictures, -1, 15000), 0);
        SendKeys({VK_NEXT});
        ASSERT_EQ(WaitForAnother(pictures, 0, 10000), 1);
        SendKeys({VK_NEXT});
        EXPECT_EQ(WaitForAnother(pictures, 1, 10000), 2);
        SendKeys({'Q'});
        EXPECT_TRUE(EndsWith(run.Saver, 0));
    }
}

TEST(Screen1280x768x24, TheSinglePrecisionHeightRatioLeavesTheEnlargedPictureOnePixelShort) {
    const Settings settings{{"ShowText", 0},
                            {"UseEffects", 0},
                            {"EnableKeys", 1},
                            {"PictureMillis", 600000},
                            {"EnlargeToFit", 1}};
    const std::vector<Expected> pictures = Shipped("-enlarge");
    EXPECT_EQ(pictures[1].Line, "1172 767 54 0"); // 1024 x 671; the bottom row stays black
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    ASSERT_EQ(WaitForAnother(pictures, -1, 15000), 0);
    SendKeys({VK_NEXT});
    EXPECT_EQ(WaitForAnother(pictures, 0, 10000), 1);
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

TEST(Screen1024x768x16, ColoursAreReducedToFiveBitsPerChannel) {
    const Settings settings{{"ShowText", 0}, {"UseEffects", 0}, {"PictureMillis", 600000}};
    const Expected reduced = Load("114");
    const Expected unreduced = Load("114-unreduced");
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    ASSERT_EQ(kDisplayBits, 0xF8F8F8u);
    // What the screen saver reduced to five bits per channel shows on screen; what the display
    // would truncate to five bits by itself does not.
    EXPECT_TRUE(WaitForPicture(reduced, 15000)) << "not the reduced picture";
    const Screenshot shot;
    long notTruncated = 0;
    for (int y = reduced.Y; y < reduced.Y + reduced.Height; ++y)
        for (int x = reduced.X; x < reduced.X + reduced.Width; ++x)
            notTruncated += shot.At(x, y) != unreduced.At(x, y);
    EXPECT_GT(notTruncated, reduced.Width * reduced.Height / 10);
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

} // namespace
