// The show on a desktop of several monitors: Lanternmoor.scr (and its diagnostic build with the
// handle probe) full screen in an Xorg display of the dummy driver, whose monitors each test
// places itself with xrandr (monitors-check.sh starts the server, paints its desktop red and
// makes the expected pictures). Each monitor is read back and compared with what prepare-picture
// makes of its picture for that monitor's size: the picture on black, nothing of the red desktop.
#include "base/EffectNames.h"
#include "tests/win32/HandleProbe.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace harness;

namespace {

// A monitor as xrandr places it ("WxH+X+Y" in X's coordinates, which have no negative ones) and
// the place of its picture in the show: 0 for the primary monitor, which comes first in a layout.
struct Output {
    std::string Geometry;
    int Place;
};
using Layout = std::vector<Output>;

// Its rectangle as Windows reports it: the primary monitor's corner is 0, 0.
RECT ScreenRect(const Output& output, const Output& primary) {
    int width = 0, height = 0, x = 0, y = 0, primaryX = 0, primaryY = 0;
    std::sscanf(output.Geometry.c_str(), "%dx%d+%d+%d", &width, &height, &x, &y);
    std::sscanf(primary.Geometry.c_str(), "%*dx%*d+%d+%d", &primaryX, &primaryY);
    return RECT{x - primaryX, y - primaryY, x - primaryX + width, y - primaryY + height};
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT bounds, LPARAM monitors) {
    reinterpret_cast<std::vector<RECT>*>(monitors)->push_back(*bounds);
    return TRUE;
}

std::set<std::vector<LONG>> Monitors() {
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    std::set<std::vector<LONG>> set;
    for (const RECT& r : monitors)
        set.insert({r.left, r.top, r.right, r.bottom});
    return set;
}

// Places the monitors with xrandr (through LM_SET_MONITORS, a Unix command that Wine starts) and
// waits until Wine reports them: a Wine process may report the layout before for a moment.
::testing::AssertionResult SetMonitors(const Layout& layout) {
    char command[1024] = {};
    GetEnvironmentVariableA("LM_SET_MONITORS", command, sizeof command);
    std::string line = command;
    std::set<std::vector<LONG>> expected;
    for (const Output& output : layout) {
        line += " " + output.Geometry;
        const RECT r = ScreenRect(output, layout[0]);
        expected.insert({r.left, r.top, r.right, r.bottom});
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION xrandr{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &xrandr))
        return ::testing::AssertionFailure() << "cannot run " << line;
    WaitForSingleObject(xrandr.hProcess, 20000);
    CloseHandle(xrandr.hThread);
    CloseHandle(xrandr.hProcess);
    if (WaitUntil([&] { return Monitors() == expected; }, 20000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Wine reports " << Monitors().size() << " monitors";
}

// What a monitor of width x height must show of a picture prepare-picture made for that size:
// the picture on black.
std::vector<DWORD> Expected(int width, int height, const std::string& name) {
    return PreparedScreen(std::to_string(width) + "x" + std::to_string(height) + "\\" + name, width,
                          height);
}

// Waits until every monitor of `layout` shows the shipped picture at `index` plus its place in
// the show (wrapping), as prepared for its size.
::testing::AssertionResult ShowsPictures(const Layout& layout, int index, DWORD millis = 15000) {
    std::vector<std::vector<DWORD>> expected;
    for (const Output& output : layout) {
        const RECT r = ScreenRect(output, layout[0]);
        expected.push_back(Expected(r.right - r.left, r.bottom - r.top,
                                    std::to_string(kShippedIds[(index + output.Place) % 17])));
    }
    std::size_t wrong = 0;
    const bool shown = WaitUntil(
        [&] {
            for (wrong = 0; wrong < layout.size(); ++wrong)
                if (CaptureArea(ScreenRect(layout[wrong], layout[0])) != expected[wrong])
                    return false;
            return true;
        },
        millis);
    if (shown) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "monitor " << layout[wrong].Geometry << " does not show "
           << kShippedIds[(index + layout[wrong].Place) % 17];
}

// The shipped picture (its number in show order) that a monitor shows exactly; -1 for none.
int ShownOn(const RECT& r) {
    const std::vector<DWORD> shot = CaptureArea(r);
    for (int i = 0; i < 17; ++i)
        if (shot == Expected(r.right - r.left, r.bottom - r.top, std::to_string(kShippedIds[i])))
            return i;
    return -1;
}

// The virtual screen: every monitor.
std::array<LONG, 4> VirtualScreen() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

POINT Inside(const RECT& r) {
    return POINT{r.left + 100, r.top + 100};
}

const Layout kRight{{"1024x768+0+0", 0}, {"800x600+1024+0", 1}};
const Layout kLeft{{"1024x768+800+0", 0}, {"800x600+0+0", 1}};
// Listed out of show order: the left one comes before the right one.
const Layout kThree{{"1024x768+800+0", 0}, {"1280x1024+1824+0", 2}, {"800x600+0+168", 1}};

// One window over both monitors; the primary shows the first picture of the order and the other
// one the next; paging steps both; a random order is one order, the second monitor a picture
// ahead. A one-pixel move on the second monitor closes the saver.
TEST(Monitors, TheSecondRightOfThePrimaryShowsThePictureAfterTheOneOnThePrimary) {
    ASSERT_TRUE(SetMonitors(kRight));
    const RECT second = ScreenRect(kRight[1], kRight[0]);
    {
        const ShowSettings settings;
        FullScreenRun run(ScreenSaverPath(), Inside(second));
        ASSERT_NE(run.Window, nullptr);
        EXPECT_EQ(Bounds(run.Window), (std::array<LONG, 4>{0, 0, 1824, 768}));
        EXPECT_TRUE(ShowsPictures(kRight, 0));
        SendKeys({VK_NEXT});
        EXPECT_TRUE(ShowsPictures(kRight, 1));
        SendKeys({VK_PRIOR});
        SendKeys({VK_PRIOR});
        EXPECT_TRUE(ShowsPictures(kRight, 16));
        SetCursorPos(second.left + 101, second.top + 100);
        EXPECT_TRUE(EndsWith(run.Saver, 0));
    }
    const ShowSettings settings({{"RandomOrder", 1}});
    FullScreenRun run;
    std::vector<int> primary, other;
    for (int step = 0; step < 18; ++step) {
        if (step > 0) SendKeys({VK_NEXT});
        const int previous = primary.empty() ? -1 : primary.back();
        int shown = -1;
        WaitUntil(
            [&] {
                return (shown = ShownOn(ScreenRect(kRight[0], kRight[0]))) >= 0 &&
                       shown != previous;
            },
            15000);
        primary.push_back(shown);
        other.push_back(ShownOn(second));
    }
    EXPECT_NE(primary[0], 0) << "the first picture is never the first of ascending order";
    EXPECT_EQ(std::set<int>(primary.begin(), primary.end() - 1).size(), 17u);
    for (int step = 0; step < 17; ++step)
        EXPECT_EQ(other[step], primary[step + 1]) << "step " << step;
    Quit(run);
}

// Every effect in turn (all four on) on both monitors at once, each transition ending with each
// monitor's picture whole on black, whatever the size of the picture it replaced.
TEST(Monitors, TransitionsOnBothMonitorsEndWithEachPictureWholeOnBlack) {
    ASSERT_TRUE(SetMonitors(kRight));
    const ShowSettings settings({{"UseEffects", 1}, {"EffectMillis", 700}});
    for (const EffectName& effect : kEffectNames)
        EXPECT_TRUE(SetDword(SettingKey(effect.Name), effect.Name, 1));
    FullScreenRun run;
    EXPECT_TRUE(ShowsPictures(kRight, 0));
    for (int step = 1; step <= 4; ++step) {
        SendKeys({VK_NEXT});
        EXPECT_TRUE(ShowsPictures(kRight, step)) << "step " << step;
    }
    Quit(run);
}

// A monitor left of the primary one, at negative coordinates: covered, its picture and caption in
// place; a click on it closes the saver.
TEST(Monitors, TheSecondLeftOfThePrimaryShowsItsPictureWithItsCaption) {
    ASSERT_TRUE(SetMonitors(kLeft));
    const ShowSettings settings({{"ShowText", 1}});
    const HMODULE scr =
        LoadLibraryExA(ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const RECT left = ScreenRect(kLeft[1], kLeft[0]);
    FullScreenRun run(ScreenSaverPath(), Inside(left));
    ASSERT_NE(run.Window, nullptr);
    EXPECT_EQ(Bounds(run.Window), (std::array<LONG, 4>{-800, 0, 1024, 768}));
    for (const Output& output : kLeft) {
        const RECT monitor = ScreenRect(output, kLeft[0]);
        SCOPED_TRACE(output.Geometry);
        const int width = monitor.right - monitor.left, height = monitor.bottom - monitor.top;
        const int id = kShippedIds[output.Place];
        char caption[256] = {};
        ASSERT_GT(LoadStringA(scr, id, caption, sizeof caption), 0);
        std::string line;
        const std::vector<DWORD> picture = PreparedScreen(
            std::to_string(width) + "x" + std::to_string(height) + "\\" + std::to_string(id), width,
            height, 0xFFFFFF, &line);
        int w = 0, h = 0, x = 0, y = 0;
        std::istringstream(line) >> w >> h >> x >> y;
        // The box ends 20 pixels in from the picture's lower right corner, the text 10 inside it.
        const RECT text = MeasureText(caption);
        const RECT box{x + w - 40 - text.right, y + h - 40 - text.bottom, x + w - 20, y + h - 20};
        CaptionBoxPixels pixels{};
        WaitUntil(
            [&] {
                pixels = CountCaptionBox(CaptureArea(monitor), picture, width, box);
                return pixels.Wrong == 0 && pixels.White > 100;
            },
            15000);
        EXPECT_TRUE(pixels.Wrong == 0 && pixels.White > 100)
            << pixels.Wrong << " pixels wrong, " << pixels.White << " white";
    }
    FreeLibrary(scr);
    SendMouse({MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

// Three monitors, one left of the primary and one right of it: the left one shows the picture
// after the primary's, the right one the picture after that; Page Up from the first picture
// wraps on all three. A one-pixel move on the right one closes the saver.
TEST(Monitors, ThreeMonitorsTakeTheirPicturesByLeftEdge) {
    ASSERT_TRUE(SetMonitors(kThree));
    const ShowSettings settings;
    const RECT right = ScreenRect(kThree[1], kThree[0]);
    FullScreenRun run(ScreenSaverPath(), Inside(right));
    ASSERT_NE(run.Window, nullptr);
    EXPECT_EQ(Bounds(run.Window), (std::array<LONG, 4>{-800, 0, 2304, 1024}));
    EXPECT_TRUE(ShowsPictures(kThree, 0));
    SendKeys({VK_PRIOR});
    EXPECT_TRUE(ShowsPictures(kThree, 16));
    SetCursorPos(right.left + 100, right.top + 101);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
}

// While the diagnostic build runs, ten changes: the second monitor switched off, switched on again
// left of the primary at another size with the primary's mode changed, and back to the start.
// After each the window covers the new virtual screen and each monitor shows its picture fitted
// to its new size at once; the step after it leaves one bitmap and one memory context per monitor
// and the brush, and the memory of the last lap is that of the first.
TEST(Monitors, ChangesOfTheLayoutAreCoveredAtOnceWithoutGrowth) {
    const Layout start = kRight;
    const Layout layouts[] = {
        {{"1024x768+0+0", 0}}, {{"800x600+1280+0", 0}, {"1280x1024+0+0", 1}}, start};
    ASSERT_TRUE(SetMonitors(start));
    const ShowSettings settings;
    FullScreenRun run(WindowsPath(LM_SOAK_SCR));
    ASSERT_NE(run.Window, nullptr);
    HWND probeWindow = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (probeWindow = probe::Find(run.Saver.Id())) != nullptr; }, 10000));
    ASSERT_TRUE(ShowsPictures(start, 0));
    // One step on and one back after each change, so that the memory is read with the same
    // pictures each time.
    auto step = [&](WORD key, long monitors) {
        probe::Reading before, after;
        EXPECT_TRUE(probe::Read(probeWindow, before));
        SendKeys({key});
        EXPECT_TRUE(WaitUntil(
            [&] { return probe::Read(probeWindow, after) && after.Steps > before.Steps; }, 5000));
        EXPECT_EQ(after.Handles, (std::array<long, 6>{monitors, monitors, 1, 0, 0, 0}));
        return after.PrivateKb;
    };
    std::vector<long> memory;
    for (int change = 1; change <= 10; ++change) {
        const Layout& layout = layouts[(change - 1) % 3];
        const long monitors = static_cast<long>(layout.size());
        SCOPED_TRACE("change " + std::to_string(change));
        ASSERT_TRUE(SetMonitors(layout));
        EXPECT_TRUE(WaitUntil([&] { return Bounds(run.Window) == VirtualScreen(); }, 5000));
        EXPECT_TRUE(ShowsPictures(layout, 0, 5000));
        ASSERT_TRUE(run.Saver.Running()) << "the change closed the saver";
        step(VK_NEXT, monitors);
        EXPECT_TRUE(ShowsPictures(layout, 1));
        memory.push_back(step(VK_PRIOR, monitors));
        EXPECT_TRUE(ShowsPictures(layout, 0));
    }
    std::printf("private memory after changes 1, 4, 7, 10: %ld, %ld, %ld, %ld KB\n", memory[0],
                memory[3], memory[6], memory[9]);
    EXPECT_LT(std::labs(memory[9] - memory[3]), 1024);
    Quit(run);
}

} // namespace
