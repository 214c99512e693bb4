// Lanternmoor.scr end to end under Wine: the command-line table, the full-screen window and its
// inputs, and the preview inside a parent window of ours.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

using namespace harness;

namespace {

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

// Once a window of the saver has been painted, its creation is over and its loop runs.
bool ShownAndPainted(HWND window) {
    return IsWindowVisible(window) && !GetUpdateRect(window, nullptr, FALSE);
}

enum class Runs { Nothing, FullScreen, Preview };

// The rows of the command-line table that need a real process and real windows (the parsing
// itself is tested natively): each mode with its exit code, a parent of 2^31 and more (its alias
// written negative), a destroyed window, and an argument that selects nothing.
TEST_F(SaverTest, EverySwitchRunsItsModeOrExitsWithoutAWindow) {
    TestWindow dead(10, 10, 100, 80, WS_OVERLAPPEDWINDOW);
    const std::string deadHandle = HandleText(dead.Handle());
    dead.Destroy();
    const struct {
        std::string Arguments; // "%h": a live window of ours, "%n": its alias, negative
        DWORD ExitCode;
        Runs What;
    } cases[] = {{"/s", 0, Runs::FullScreen},
                 {"/p %h", 0, Runs::Preview},
                 {"/p %n", 0, Runs::Preview},
                 {"/p " + deadHandle, 1, Runs::Nothing},
                 {"/c:" + deadHandle, 1, Runs::Nothing},
                 {"/a " + deadHandle, 1, Runs::Nothing},
                 {"/x", 1, Runs::Nothing}};
    // The switches that open the configuration ("", "/c", "/c:HWND") are driven to their end in
    // tests/settings/ConfigurationTest_win32.cpp.
    // The parent of a preview and the owner of the password dialog.
    std::unique_ptr<TestWindow> live;
    for (const auto& c : cases) {
        if (live == nullptr || live->Handle() == nullptr)
            live = std::make_unique<TestWindow>(60, 50, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        const HWND parent = live->Handle();
        // Wine also accepts a window's low word under a high word of all ones.
        const auto alias = 0xFFFF0000u | (reinterpret_cast<UINT_PTR>(parent) & 0xFFFF);
        ASSERT_TRUE(IsWindow(reinterpret_cast<HWND>(alias))) << "Wine changed its handle aliases";
        std::string arguments = c.Arguments;
        if (arguments.find('%') != std::string::npos)
            arguments.replace(arguments.find('%'), 2,
                              arguments.back() == 'h' ? HandleText(parent)
                                                      : "-" + std::to_string((1ull << 32) - alias));
        SCOPED_TRACE("arguments \"" + arguments + "\"");
        Process saver(ScreenSaverPath(), arguments);
        if (c.What == Runs::Nothing) {
            bool sawWindow = false;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    sawWindow = sawWindow || FindSaverWindow(nullptr, nullptr, saver.Id(), 0) ||
                                FindSaverWindow(nullptr, parent, saver.Id(), 0);
                    return !saver.Running();
                },
                5000));
            EXPECT_EQ(saver.ExitCode(), c.ExitCode);
            EXPECT_FALSE(sawWindow);
        } else if (c.What == Runs::FullScreen) {
            const HWND window = FindSaverWindow("ScreenSaverWindow", nullptr, saver.Id(), 10000);
            ASSERT_NE(window, nullptr);
            EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }, 3000));
            SendKeys({'Q'});
            EXPECT_TRUE(EndsWith(saver, c.ExitCode));
        } else {
            const HWND window =
                FindSaverWindow("ScreenSaverPreviewWindow", parent, saver.Id(), 10000);
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(GetParent(window), parent);
            EXPECT_TRUE(WaitUntil([&] { return ShownAndPainted(window); }, 3000));
            // As the Display Properties dialog destroys its preview area: the run ends at once.
            live->Destroy();
            EXPECT_TRUE(EndsWith(saver, c.ExitCode, 1000));
        }
    }
}

using FullScreen = SaverTest;

TEST_F(FullScreen, CoversTheScreenWithATopmostPopupAndSetsTheRunningFlagMeanwhile) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    // A red backdrop first, so that what covers it is something the saver drew.
    TestWindow backdrop(0, 0, width, height, WS_POPUP | WS_VISIBLE);
    ASSERT_TRUE(
        WaitUntil([&] { return ScreenPixel(width / 2, height / 2) == RGB(255, 0, 0); }, 3000))
        << "the backdrop never showed";
    ASSERT_EQ(ScreenSaverRunningFlag(), 0u);

    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    EXPECT_EQ(ScreenSaverRunningFlag(), 1u);
    RECT rect{};
    GetWindowRect(run.Window, &rect);
    EXPECT_EQ((std::array<LONG, 4>{rect.left, rect.top, rect.right, rect.bottom}),
              (std::array<LONG, 4>{0, 0, width, height}));
    EXPECT_EQ(GetParent(run.Window), nullptr);
    EXPECT_EQ(GetWindowLongA(run.Window, GWL_STYLE) &
                  (WS_POPUP | WS_VISIBLE | WS_CHILD | WS_CAPTION),
              static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    EXPECT_NE(GetWindowLongA(run.Window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetForegroundWindow(), run.Window);
    // The backdrop covered everywhere on a 3 x 3 grid from corner to corner (by the black window
    // and the first picture on it).
    const auto pixel = [&](int i) {
        return ScreenPixel((width - 1) * (i % 3) / 2, (height - 1) * (i / 3) / 2);
    };
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (int i = 0; i < 9; ++i)
                if ((pixel(i) & 0xFFFFFF) == RGB(255, 0, 0)) return false;
            return true;
        },
        3000))
        << "centre pixel " << std::hex << pixel(4);

    SendKeys({VK_SPACE});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
    EXPECT_EQ(ScreenSaverRunningFlag(), 0u);
}

TEST_F(FullScreen, InputsThatCloseItAndInputsThatDoNot) {
    using Input = std::function<void(HWND)>;
    const auto click = [](DWORD downFlag) { return [=](HWND) { SendClick(downFlag); }; };
    const auto key = [](WORD virtualKey) { return [=](HWND) { SendKeys({virtualKey}); }; };
    const struct {
        const char* Name;
        Input Kept;   // must leave it open (none: nothing to try)
        Input Closes; // then closes it with exit code 0
    } cases[] = {
        {"a move onto the start position keeps it, a one-pixel move closes",
         [](HWND window) {
             // The move the system reports under an unmoved cursor, and a real one onto the spot.
             PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(kStartX, kStartY));
             SetCursorPos(kStartX, kStartY);
         },
         [](HWND) { SetCursorPos(kStartX + 1, kStartY); }},
        {"left button", nullptr, click(MOUSEEVENTF_LEFTDOWN)},
        {"right button", nullptr, click(MOUSEEVENTF_RIGHTDOWN)},
        {"middle button", nullptr, click(MOUSEEVENTF_MIDDLEDOWN)},
        {"page down without paging", nullptr, key(VK_NEXT)},
        {"system commands and Alt+F4 are swallowed",
         [](HWND window) {
             for (const WPARAM command : {SC_CLOSE, SC_MINIMIZE, SC_SCREENSAVE, SC_TASKLIST})
                 PostMessageA(window, WM_SYSCOMMAND, command, 0);
             SendKeys({VK_MENU, VK_F4});
         },
         key('X')},
        {"activation within the application keeps it, losing it to another closes",
         [](HWND window) {
             PostMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
             PostMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
         },
         [](HWND window) { PostMessageA(window, WM_ACTIVATEAPP, FALSE, GetCurrentThreadId()); }}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FullScreenRun run;
        ASSERT_NE(run.Window, nullptr);
        if (c.Kept) {
            c.Kept(run.Window);
            EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
            EXPECT_FALSE(IsIconic(run.Window));
        }
        c.Closes(run.Window);
        EXPECT_TRUE(EndsWith(run.Saver, 0));
    }
}

TEST_F(FullScreen, AFaultInTheSaverStillClearsTheRunningFlag) {
    // No crash dialog from Wine's debugger while the saver goes down.
    const RegistryKeySnapshot debugger("Software\\Wine\\WineDbg");
    ASSERT_TRUE(SetDword("Software\\Wine\\WineDbg", "ShowCrashDialog", 0));
    // Quiet: Wine's debugger reports the fault on the saver's standard output.
    FullScreenRun run(ScreenSaverPath(), true);
    ASSERT_NE(run.Window, nullptr);
    ASSERT_EQ(ScreenSaverRunningFlag(), 1u);

    // A thread of the saver that jumps to an unmapped address: an access violation nothing handles.
    const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, run.Saver.Id());
    ASSERT_NE(process, nullptr);
    const HANDLE thread = CreateRemoteThread(
        process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(0x10), nullptr, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    if (thread != nullptr) CloseHandle(thread);
    CloseHandle(process);

    ASSERT_TRUE(run.Saver.WaitForExit(15000));
    EXPECT_NE(run.Saver.ExitCode(), 0u);
    EXPECT_EQ(ScreenSaverRunningFlag(), 0u);
}

using Preview = SaverTest;

TEST_F(Preview, FillsTheParentFromItsCornerIgnoresTheMouseAndTakesKeysAsInFullScreen) {
    ASSERT_TRUE(SetDword(kSettingsKey, "EnableKeys", 1));
    TestWindow parent(60, 50, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN);
    Process saver(ScreenSaverPath(), "/p " + HandleText(parent.Handle()));
    const HWND window =
        FindSaverWindow("ScreenSaverPreviewWindow", parent.Handle(), saver.Id(), 10000);
    ASSERT_NE(window, nullptr);
    // Painted: shown, and its update region validated. (Wine gives a child of another process's
    // window no drawable of its own, so what it paints cannot be read back from the screen here.)
    EXPECT_TRUE(WaitUntil([&] { return ShownAndPainted(window); }, 3000));
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_POPUP),
              static_cast<LONG>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    // The parent's outer size, placed at the parent's client origin.
    RECT parentRect{};
    RECT rect{};
    GetWindowRect(parent.Handle(), &parentRect);
    GetWindowRect(window, &rect);
    POINT origin{0, 0};
    ClientToScreen(parent.Handle(), &origin);
    EXPECT_EQ(
        (std::array<LONG, 4>{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}),
        (std::array<LONG, 4>{origin.x, origin.y, parentRect.right - parentRect.left,
                             parentRect.bottom - parentRect.top}));

    SetCursorPos(origin.x + 100, origin.y + 70);
    Pump(100);
    SetCursorPos(origin.x + 105, origin.y + 73);
    PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    for (const UINT button : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
        PostMessageA(window, button, 0, MAKELPARAM(10, 10));
    PostMessageA(window, WM_KEYDOWN, VK_NEXT, 1);
    PostMessageA(window, WM_KEYDOWN, VK_PRIOR, 1);
    EXPECT_TRUE(StaysOpen(saver, window));
    PostMessageA(window, WM_KEYDOWN, 'K', 1);
    EXPECT_TRUE(EndsWith(saver, 0));
    EXPECT_TRUE(IsWindow(parent.Handle()));
}

} // namespace
