// Lanternmoor.scr end to end under Wine: the command-line rows that need a real process, the
// preview inside a parent window of ours, the full-screen window with its inputs and the system's
// screen-saver-running flag.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

using namespace harness;

namespace {

const char kClass[] = "SlideshowScreenSaverClass";

// Every test starts from an empty settings key (the defaults) and leaves the key as it found it.
class SaverTest : public ::testing::Test {
    RegistryKeySnapshot settings_{kSettingsKey};
};

// The screen-saver-running flag as a fresh process reads it (Wine keeps a copy of the flag in
// each process once read): 1 set, 0 clear.
DWORD ScreenSaverRunningFlag() {
    Process query(WindowsPath(LM_QUERY_SCREENSAVER_RUNNING), "");
    return query.WaitForExit(10000) ? query.ExitCode() : ~0u;
}

// Each mode with its exit code (the parsing itself is tested natively; the configuration's
// switches in tests/settings): the preview of a parent given as it is and as its alias of 2^31
// and more, written negative; a destroyed window; an argument that selects nothing.
TEST_F(SaverTest, EverySwitchRunsItsModeOrExitsWithoutAWindow) {
    ASSERT_TRUE(SetDword(kSettingsKey, "EnableKeys", 1)); // Page Up and Down step in the preview
    TestWindow dead(10, 10, 100, 80, WS_OVERLAPPEDWINDOW);
    const std::string deadHandle = HandleText(dead.Handle());
    dead.Destroy();
    std::unique_ptr<TestWindow> live; // the preview's parent, the password dialog's owner
    const std::string cases[] = {
        "/p %", "/p -%", "/p " + deadHandle, "/c:" + deadHandle, "/a " + deadHandle, "/x"};
    for (const std::string& arguments : cases) {
        if (live == nullptr || live->Handle() == nullptr)
            live = std::make_unique<TestWindow>(60, 50, 200, 150,
                                                WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN);
        const HWND parent = live->Handle();
        // Wine also accepts a window's low word under a high word of all ones.
        const auto alias = 0xFFFF0000u | (reinterpret_cast<UINT_PTR>(parent) & 0xFFFF);
        ASSERT_TRUE(IsWindow(reinterpret_cast<HWND>(alias))) << "Wine changed its handle aliases";
        const bool preview = arguments.back() == '%', negative = preview && arguments[3] == '-';
        const std::string written = arguments.substr(0, arguments.size() - preview) +
                                    (!preview   ? ""
                                     : negative ? std::to_string((1ull << 32) - alias)
                                                : HandleText(parent));
        SCOPED_TRACE("arguments \"" + written + "\"");
        Process saver(ScreenSaverPath(), written);
        if (!preview) {
            bool sawWindow = false;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    sawWindow = sawWindow ||
                                FindWindowOf(saver.Id(), kClass, nullptr, nullptr, 0) ||
                                FindWindowOf(saver.Id(), kClass, nullptr, parent, 0);
                    return !saver.Running();
                },
                5000));
            EXPECT_EQ(saver.ExitCode(), 1u);
            EXPECT_FALSE(sawWindow);
            continue;
        }
        const HWND window = FindWindowOf(saver.Id(), kClass, "ScreenSaverPreviewWindow", parent);
        ASSERT_NE(window, nullptr);
        // Painted: its update region validated. (Wine gives a child of another process's window
        // no drawable of its own, so what it paints cannot be read back from the screen here.)
        EXPECT_TRUE(WaitUntil([&] { return !GetUpdateRect(window, nullptr, FALSE); }, 3000));
        EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_POPUP),
                  static_cast<LONG>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        // The parent's outer size, at the parent's client origin.
        POINT origin{0, 0};
        ClientToScreen(parent, &origin);
        const auto outer = Bounds(parent);
        EXPECT_EQ(Bounds(window),
                  (std::array<LONG, 4>{origin.x, origin.y, origin.x + outer[2] - outer[0],
                                       origin.y + outer[3] - outer[1]}));
        // Deaf to the mouse; paging keys step.
        SetCursorPos(origin.x + 100, origin.y + 70);
        Pump(100);
        SetCursorPos(origin.x + 105, origin.y + 73);
        for (const UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
            PostMessageA(window, message, 0, MAKELPARAM(3, 4));
        for (const WPARAM key : {VK_NEXT, VK_PRIOR})
            PostMessageA(window, WM_KEYDOWN, key, 1);
        EXPECT_TRUE(StaysOpen(saver, window));
        // Any other key ends it; so does its parent going, as the Display Properties dialog
        // destroys its preview area.
        if (negative)
            live->Destroy();
        else
            PostMessageA(window, WM_KEYDOWN, 'K', 1);
        EXPECT_TRUE(EndsWith(saver, 0));
        EXPECT_EQ(IsWindow(parent), !negative);
    }
}

TEST_F(SaverTest, FullScreenIsATopmostPopupOverTheScreenAndTheRunningFlagIsSetEvenUntilAFault) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    // A red backdrop first, so that what covers it is something the saver drew.
    TestWindow backdrop(0, 0, width, height, WS_POPUP | WS_VISIBLE);
    const auto redOnGrid = [&](HWND window) { // 3 x 3 points from corner to corner
        const auto [stride, pixels] = Capture(window);
        int red = 0;
        for (int i = 0; i < 9; ++i)
            red +=
                pixels[(height - 1) * (i / 3) / 2 * stride + (width - 1) * (i % 3) / 2] == 0xFF0000;
        return red;
    };
    ASSERT_TRUE(WaitUntil([&] { return redOnGrid(backdrop.Handle()) == 9; }, 3000));
    ASSERT_EQ(ScreenSaverRunningFlag(), 0u);
    // No crash dialog from Wine's debugger, which reports on the (quiet) saver's output.
    const RegistryKeySnapshot debugger("Software\\Wine\\WineDbg");
    ASSERT_TRUE(SetDword("Software\\Wine\\WineDbg", "ShowCrashDialog", 0));

    FullScreenRun run(ScreenSaverPath(), true);
    ASSERT_NE(run.Window, nullptr);
    EXPECT_EQ(ScreenSaverRunningFlag(), 1u);
    EXPECT_EQ(Bounds(run.Window), (std::array<LONG, 4>{0, 0, width, height}));
    EXPECT_EQ(GetParent(run.Window), nullptr);
    EXPECT_EQ(GetWindowLongA(run.Window, GWL_STYLE) &
                  (WS_POPUP | WS_VISIBLE | WS_CHILD | WS_CAPTION),
              static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    EXPECT_NE(GetWindowLongA(run.Window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetForegroundWindow(), run.Window);
    EXPECT_TRUE(WaitUntil([&] { return redOnGrid(run.Window) == 0; }, 3000));

    // A thread of the saver that jumps to an unmapped address: an access violation nothing handles.
    const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, run.Saver.Id());
    const HANDLE thread = CreateRemoteThread(
        process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(0x10), nullptr, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    CloseHandle(thread);
    CloseHandle(process);
    ASSERT_TRUE(run.Saver.WaitForExit(15000));
    EXPECT_NE(run.Saver.ExitCode(), 0u);
    EXPECT_EQ(ScreenSaverRunningFlag(), 0u);
}

TEST_F(SaverTest, FullScreenClosesOnAnyInputButNotOnSystemCommandsOrActivationWithinTheApp) {
    const std::function<void(HWND)> closers[] = {
        [](HWND) { SetCursorPos(kStartX + 1, kStartY); }, // a one-pixel move
        [](HWND) {
            SendMouse({MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
        },
        [](HWND) {
            SendMouse({MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});
        },
        [](HWND) {
            SendMouse({MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP});
        },
        [](HWND) { SendKeys({VK_NEXT}); }, // paging is off
        [](HWND window) { PostMessageA(window, WM_ACTIVATEAPP, FALSE, GetCurrentThreadId()); }};
    for (const auto& close : closers) {
        SCOPED_TRACE(&close - closers);
        FullScreenRun run;
        ASSERT_NE(run.Window, nullptr);
        if (&close == closers) {
            // The move the system reports under an unmoved cursor and a real one onto the spot;
            // every system command and Alt+F4; activation within the application.
            PostMessageA(run.Window, WM_MOUSEMOVE, 0, MAKELPARAM(kStartX, kStartY));
            SetCursorPos(kStartX, kStartY);
            for (const WPARAM command : {SC_CLOSE, SC_MINIMIZE, SC_SCREENSAVE, SC_TASKLIST})
                PostMessageA(run.Window, WM_SYSCOMMAND, command, 0);
            SendKeys({VK_MENU, VK_F4});
            PostMessageA(run.Window, WM_ACTIVATEAPP, TRUE, 0);
            PostMessageA(run.Window, WM_ACTIVATE, WA_INACTIVE, 0);
            EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
            EXPECT_FALSE(IsIconic(run.Window));
        }
        close(run.Window);
        EXPECT_TRUE(EndsWith(run.Saver, 0));
    }
    EXPECT_EQ(ScreenSaverRunningFlag(), 0u);
}

} // namespace
