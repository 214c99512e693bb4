// Lanternmoor.scr end to end under Wine: the command-line table, the full-screen window and its
// inputs, and the preview inside a parent window of ours.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace harness;

namespace {

const std::string kSettingsKey = "Software\\Quillfern\\Lanternmoor";
constexpr DWORD kNoExit = ~0u;
// Where the cursor rests when a full-screen run starts.
constexpr int kStartX = 300;
constexpr int kStartY = 200;

std::string Decimal(unsigned long long value) {
    return std::to_string(value);
}

std::string HandleText(HWND window) {
    return Decimal(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}

bool IsBlack(COLORREF colour) {
    return (colour & 0xFFFFFF) == 0;
}

// Every test starts from an empty settings key (the defaults) and leaves the key as it found it.
class SaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_ = std::make_unique<RegistryKeySnapshot>(kSettingsKey);
        DeleteKeyTree(kSettingsKey);
    }
    void TearDown() override { settings_.reset(); }

    // Waits until the saver runs no more: true when it ended in time with exit code 0.
    static ::testing::AssertionResult EndsWithZero(Process& saver, DWORD milliseconds = 5000) {
        if (!saver.WaitForExit(milliseconds))
            return ::testing::AssertionFailure() << "still running after " << milliseconds << " ms";
        if (saver.ExitCode() != 0)
            return ::testing::AssertionFailure() << "exit code " << saver.ExitCode();
        return ::testing::AssertionSuccess();
    }

    // Gives a close request time to arrive: true when the saver and its window are still there.
    static ::testing::AssertionResult StaysOpen(Process& saver, HWND window) {
        Pump(400);
        if (!saver.Running()) return ::testing::AssertionFailure() << "the saver ended";
        if (!IsWindow(window)) return ::testing::AssertionFailure() << "the window is gone";
        return ::testing::AssertionSuccess();
    }

private:
    std::unique_ptr<RegistryKeySnapshot> settings_;
};

// A full-screen run with the cursor resting at the start position, its window in the foreground.
struct FullScreenRun {
    explicit FullScreenRun(const std::string& arguments = "/s", bool quiet = false)
        : Saver((SetCursorPos(kStartX, kStartY), ScreenSaverPath()), arguments, quiet) {
        Window = FindSaverWindow("ScreenSaverWindow", nullptr, Saver.Id(), 10000);
        if (Window != nullptr) WaitUntil([this] { return GetForegroundWindow() == Window; }, 3000);
    }
    Process Saver;
    HWND Window = nullptr;
};

using CommandLineEndToEnd = SaverTest;

TEST_F(CommandLineEndToEnd, SwitchesThatSelectNothingExitWithOneAndMakeNoWindow) {
    TestWindow gone(10, 10, 100, 80, RGB(0, 0, 255), WS_OVERLAPPEDWINDOW);
    const std::string stale = HandleText(gone.Handle());
    gone.Destroy();
    for (const std::string& arguments : std::vector<std::string>{
             "/s 5", "/save", "/sx", "s", "/p", "/p 0", "/x", "/", "/config", "/a", "/p " + stale,
             "/l:" + stale, "/c:" + stale, "/a " + stale}) {
        SCOPED_TRACE("arguments \"" + arguments + "\"");
        bool sawWindow = true;
        EXPECT_EQ(RunToEnd(arguments, 5000, &sawWindow), 1u);
        EXPECT_FALSE(sawWindow);
    }
}

TEST_F(CommandLineEndToEnd, ConfigurationAndPasswordChangeExitWithZero) {
    TestWindow owner(10, 10, 100, 80, RGB(0, 0, 255), WS_OVERLAPPEDWINDOW);
    for (const std::string& arguments : std::vector<std::string>{
             "", "   ", "/c", "-C", "/c:" + HandleText(owner.Handle()),
             "/a " + HandleText(owner.Handle()), "/A:" + HandleText(owner.Handle())}) {
        SCOPED_TRACE("arguments \"" + arguments + "\"");
        bool sawWindow = true;
        EXPECT_EQ(RunToEnd(arguments, 5000, &sawWindow), 0u);
        EXPECT_FALSE(sawWindow);
    }
}

TEST_F(CommandLineEndToEnd, FullScreenSwitchInEveryFormRunsUntilAKey) {
    for (const char* arguments : {"/s", "-S", " /s "}) {
        SCOPED_TRACE(std::string("arguments \"") + arguments + "\"");
        FullScreenRun run(arguments);
        ASSERT_NE(run.Window, nullptr);
        EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
        SendKey('Q');
        EXPECT_TRUE(EndsWithZero(run.Saver));
    }
}

using FullScreen = SaverTest;

TEST_F(FullScreen, CoversTheScreenWithATopmostBlackPopup) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    // A red backdrop first, so that black is something the saver drew.
    TestWindow backdrop(0, 0, width, height, RGB(255, 0, 0), WS_POPUP | WS_VISIBLE);
    ASSERT_TRUE(
        WaitUntil([&] { return ScreenPixel(width / 2, height / 2) == RGB(255, 0, 0); }, 3000))
        << "the backdrop never showed";

    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    RECT rect{};
    GetWindowRect(run.Window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, width);
    EXPECT_EQ(rect.bottom, height);
    EXPECT_EQ(GetParent(run.Window), nullptr);
    const LONG style = GetWindowLongA(run.Window, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_CHILD | WS_CAPTION),
              static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    EXPECT_NE(GetWindowLongA(run.Window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetForegroundWindow(), run.Window);

    const POINT probes[] = {{0, 0},
                            {width - 1, 0},
                            {0, height - 1},
                            {width - 1, height - 1},
                            {width / 2, height / 2},
                            {width / 3, 2 * height / 3}};
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const POINT& p : probes) {
                if (!IsBlack(ScreenPixel(p.x, p.y))) return false;
            }
            return true;
        },
        3000))
        << "centre pixel " << std::hex << ScreenPixel(width / 2, height / 2);

    SendKey(VK_SPACE);
    EXPECT_TRUE(EndsWithZero(run.Saver));
}

TEST_F(FullScreen, MouseMoveAtTheStartPositionKeepsItOpenAndAOnePixelMoveCloses) {
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    // The move the system reports under an unmoved cursor, and a real one back onto the spot.
    PostMessageA(run.Window, WM_MOUSEMOVE, 0, MAKELPARAM(kStartX, kStartY));
    SetCursorPos(kStartX, kStartY);
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    SetCursorPos(kStartX + 1, kStartY);
    EXPECT_TRUE(EndsWithZero(run.Saver));
}

TEST_F(FullScreen, EveryMouseButtonCloses) {
    const std::pair<DWORD, DWORD> buttons[] = {{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
                                               {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
                                               {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP}};
    for (const auto& button : buttons) {
        SCOPED_TRACE("button flags " + std::to_string(button.first));
        FullScreenRun run;
        ASSERT_NE(run.Window, nullptr);
        SendClick(button.first, button.second);
        EXPECT_TRUE(EndsWithZero(run.Saver));
    }
}

TEST_F(FullScreen, WithoutPagingEveryKeyClosesPageDownIncluded) {
    for (const WORD key : {WORD{VK_NEXT}, WORD{'A'}}) {
        SCOPED_TRACE("key " + std::to_string(key));
        FullScreenRun run;
        ASSERT_NE(run.Window, nullptr);
        SendKey(key);
        EXPECT_TRUE(EndsWithZero(run.Saver));
    }
}

TEST_F(FullScreen, WithPagingOnPageDownAndPageUpStepAndOtherKeysClose) {
    ASSERT_TRUE(SetDword(kSettingsKey, "EnableKeys", 1));
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    SendKey(VK_NEXT);
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    SendKey(VK_PRIOR);
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    // Auto-repeat: several key-downs in a row step again each time.
    PostMessageA(run.Window, WM_KEYDOWN, VK_NEXT, 0x40000001);
    PostMessageA(run.Window, WM_KEYDOWN, VK_NEXT, 0x40000001);
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    SendKey(VK_HOME);
    EXPECT_TRUE(EndsWithZero(run.Saver));
}

TEST_F(FullScreen, SystemCommandsAreSwallowed) {
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    for (const WPARAM command : {SC_CLOSE, SC_MINIMIZE, SC_SCREENSAVE, SC_TASKLIST})
        PostMessageA(run.Window, WM_SYSCOMMAND, command, 0);
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    SendAltF4();
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    RECT rect{};
    GetWindowRect(run.Window, &rect);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN)) << "it was minimised";
    SendKey('X');
    EXPECT_TRUE(EndsWithZero(run.Saver));
}

TEST_F(FullScreen, LosingTheForegroundToAnotherApplicationCloses) {
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    PostMessageA(run.Window, WM_ACTIVATEAPP, TRUE, 0);
    PostMessageA(run.Window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    PostMessageA(run.Window, WM_ACTIVATEAPP, FALSE, GetCurrentThreadId());
    EXPECT_TRUE(EndsWithZero(run.Saver));
}

// The screen-saver-running flag as a fresh process reads it: 1 set, 0 clear.
DWORD ScreenSaverRunningFlag() {
    Process query(WindowsPath(LM_QUERY_SCREENSAVER_RUNNING), "");
    return query.WaitForExit(10000) ? query.ExitCode() : kNoExit;
}

TEST_F(FullScreen, ScreenSaverRunningFlagIsSetOnlyWhileItRuns) {
    ASSERT_EQ(ScreenSaverRunningFlag(), 0u);
    FullScreenRun run;
    ASSERT_NE(run.Window, nullptr);
    EXPECT_EQ(ScreenSaverRunningFlag(), 1u);
    SendKey('Z');
    EXPECT_TRUE(EndsWithZero(run.Saver));
    EXPECT_EQ(ScreenSaverRunningFlag(), 0u);
}

TEST_F(FullScreen, AFaultInTheSaverStillClearsTheRunningFlag) {
    // No crash dialog from Wine's debugger while the saver goes down.
    const RegistryKeySnapshot debugger("Software\\Wine\\WineDbg");
    ASSERT_TRUE(SetDword("Software\\Wine\\WineDbg", "ShowCrashDialog", 0));
    // Quiet: Wine's debugger reports the fault on the saver's standard output.
    FullScreenRun run("/s", true);
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

// A parent window of ours, as the Display Properties dialog's preview area, and a preview run
// inside it; `arguments` writes the command line for the parent's handle.
struct PreviewRun {
    explicit PreviewRun(const std::function<std::string(HWND)>& arguments)
        : Parent(60, 50, 200, 150, RGB(255, 0, 0),
                 WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN),
          Arguments(arguments(Parent.Handle())), Saver(ScreenSaverPath(), Arguments) {
        Window = FindSaverWindow("ScreenSaverPreviewWindow", Parent.Handle(), Saver.Id(), 10000);
        // It is shown right after creation; the showing involves our thread, so keep pumping.
        if (Window != nullptr) WaitUntil([this] { return IsWindowVisible(Window) != FALSE; }, 3000);
    }
    TestWindow Parent;
    std::string Arguments;
    Process Saver;
    HWND Window = nullptr;
};

std::string PreviewSwitch(HWND parent) {
    return "/p " + HandleText(parent);
}

TEST_F(Preview, FillsTheParentFromItsCornerAndIgnoresTheMouse) {
    PreviewRun run(PreviewSwitch);
    ASSERT_NE(run.Window, nullptr);
    EXPECT_EQ(GetParent(run.Window), run.Parent.Handle());
    const LONG style = GetWindowLongA(run.Window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_POPUP), static_cast<LONG>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongA(run.Window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    RECT parentRect{};
    RECT childRect{};
    GetWindowRect(run.Parent.Handle(), &parentRect);
    GetWindowRect(run.Window, &childRect);
    // The parent's outer size, placed at the parent's client origin.
    EXPECT_EQ(childRect.right - childRect.left, parentRect.right - parentRect.left);
    EXPECT_EQ(childRect.bottom - childRect.top, parentRect.bottom - parentRect.top);
    POINT origin{0, 0};
    ClientToScreen(run.Parent.Handle(), &origin);
    EXPECT_EQ(childRect.left, origin.x);
    EXPECT_EQ(childRect.top, origin.y);

    // Painted: its update region is validated. (Wine gives a child of another process's window no
    // drawable of its own, so what it paints cannot be read back from the screen here.)
    EXPECT_TRUE(WaitUntil([&] { return !GetUpdateRect(run.Window, nullptr, FALSE); }, 3000));

    RECT client{};
    GetClientRect(run.Parent.Handle(), &client);
    POINT inside{client.right / 2, client.bottom / 2};
    ClientToScreen(run.Parent.Handle(), &inside);
    SetCursorPos(inside.x, inside.y);
    Pump(100);
    SetCursorPos(inside.x + 5, inside.y + 3);
    PostMessageA(run.Window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    for (const UINT button : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
        PostMessageA(run.Window, button, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));

    // Keys behave as in full screen.
    PostMessageA(run.Window, WM_KEYDOWN, 'K', 1);
    EXPECT_TRUE(EndsWithZero(run.Saver));
    EXPECT_TRUE(IsWindow(run.Parent.Handle()));
}

TEST_F(Preview, PagingKeysStepWhenEnabledAsInFullScreen) {
    ASSERT_TRUE(SetDword(kSettingsKey, "EnableKeys", 1));
    PreviewRun run(PreviewSwitch);
    ASSERT_NE(run.Window, nullptr);
    PostMessageA(run.Window, WM_KEYDOWN, VK_NEXT, 1);
    PostMessageA(run.Window, WM_KEYDOWN, VK_PRIOR, 1);
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
    PostMessageA(run.Window, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(EndsWithZero(run.Saver));
}

TEST_F(Preview, TheParentDestroyingThePreviewEndsTheRunWithinASecond) {
    PreviewRun run(PreviewSwitch);
    ASSERT_NE(run.Window, nullptr);
    run.Parent.Destroy();
    EXPECT_TRUE(EndsWithZero(run.Saver, 1000));
}

TEST_F(Preview, EveryWrittenFormOfTheHandleReachesTheParent) {
    // Wine also names a window by its handle's low word with the high word all ones: a handle of
    // 2^31 or more that is a real window, here written unsigned, signed and sign-extended to 64
    // bits as a 64-bit caller would.
    const auto alias = [](HWND window) {
        return 0xFFFF0000u | (static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)) & 0xFFFFu);
    };
    const std::function<std::string(HWND)> forms[] = {
        [](HWND w) { return "/p:" + HandleText(w); },
        [](HWND w) { return "/P : " + HandleText(w); },
        [](HWND w) { return "/l" + HandleText(w); },
        [](HWND w) { return "-L " + Decimal((1ull << 32) + reinterpret_cast<UINT_PTR>(w)); },
        [&](HWND w) { return "/p " + Decimal(alias(w)); },
        [&](HWND w) { return "/p -" + Decimal((1ull << 32) - alias(w)); },
        [&](HWND w) { return "/p " + Decimal(0xFFFFFFFF00000000ull | alias(w)); },
    };
    for (const auto& form : forms) {
        PreviewRun run(form);
        SCOPED_TRACE("arguments \"" + run.Arguments + "\"");
        ASSERT_TRUE(
            IsWindow(reinterpret_cast<HWND>(static_cast<UINT_PTR>(alias(run.Parent.Handle())))))
            << "Wine no longer accepts the high-word alias of a window handle";
        ASSERT_NE(run.Window, nullptr);
        EXPECT_EQ(GetParent(run.Window), run.Parent.Handle());
        run.Parent.Destroy();
        EXPECT_TRUE(EndsWithZero(run.Saver, 1000));
    }
}

} // namespace
