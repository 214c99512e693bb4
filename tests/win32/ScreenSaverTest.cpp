// Lanternmoor.scr end to end under Wine: the command-line rows that need a real process, the
// preview inside a parent window of ours, the full-screen window with its inputs and the system's
// screen-saver-running flag, and the Windows 95/98 password hooks. (The name Windows reads from
// the file is checked in the picture pack's test, whose build has the same resources.)
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace harness;

namespace {

// The screen-saver-running flag as a fresh process reads it (Wine keeps a copy of the flag in
// each process once read): 1 set, 0 clear.
DWORD ScreenSaverRunningFlag() {
    Process query(WindowsPath(LM_QUERY_SCREENSAVER_RUNNING), "");
    return query.WaitForExit(10000) ? query.ExitCode() : ~0u;
}

// The preview of a parent given as it is and as its alias of 2^31 and more, written negative
// between tabs and followed by 5000 more; then (the parsing itself is tested natively, the
// configuration's switches in tests/settings) the switches that run nothing without ever showing a
// window: a destroyed window, an argument that selects nothing, and overlong ones, whose whole
// length only a real process reads.
TEST(Saver, ThePreviewFillsItsParentAndOtherSwitchesRunNothingWithExitCodeOne) {
    const RegistryKeySnapshot settings(kSettingsKey);     // emptied, and put back afterwards
    ASSERT_TRUE(SetDword(kSettingsKey, "EnableKeys", 1)); // Page Up and Down step in the preview
    TestWindow parent(60, 50, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN);
    const HWND handle = parent.Handle();
    // Wine also accepts a window's low word under a high word of all ones.
    const auto alias = 0xFFFF0000u | (reinterpret_cast<UINT_PTR>(handle) & 0xFFFF);
    ASSERT_TRUE(IsWindow(reinterpret_cast<HWND>(alias))) << "Wine changed its handle aliases";
    for (const std::string& arguments :
         {"/p " + HandleText(handle),
          "\t/P\t-" + std::to_string(0x100000000 - alias) + std::string(5000, '\t')}) {
        const bool last = arguments[0] == '\t';
        Process saver(ScreenSaverPath(), arguments);
        const HWND window = FindWindowOf(saver.Id(), "SlideshowScreenSaverClass",
                                         "ScreenSaverPreviewWindow", handle);
        ASSERT_NE(window, nullptr) << arguments;
        // Painted: its update region validated. (Wine gives a child of another process's window
        // no drawable of its own, so what it paints cannot be read back from the screen here.)
        EXPECT_TRUE(WaitUntil([&] { return !GetUpdateRect(window, nullptr, FALSE); }, 3000));
        EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_POPUP),
                  static_cast<LONG>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        // The parent's outer size, at the parent's client origin.
        POINT origin{0, 0};
        ClientToScreen(handle, &origin);
        const auto outer = Bounds(handle);
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
        if (last)
            parent.Destroy();
        else
            PostMessageA(window, WM_KEYDOWN, 'K', 1);
        EXPECT_TRUE(EndsWith(saver, 0));
        EXPECT_EQ(IsWindow(handle), !last);
    }
    const std::string dead = HandleText(handle), longText(10000, 'x');
    for (const std::string& arguments :
         {"/p " + dead, "/c:" + dead, "/a " + dead, std::string("/x"), "/s " + longText,
          "/p " + std::string(10000, '9'), "/" + longText}) {
        SCOPED_TRACE(arguments.substr(0, 24));
        Process saver(ScreenSaverPath(), arguments);
        bool window = false;
        EXPECT_TRUE(WaitUntil(
            [&] {
                window = window || FindWindowOf(saver.Id(), nullptr, nullptr, nullptr, 0);
                return !saver.Running();
            },
            5000));
        EXPECT_EQ(saver.ExitCode(), 1u);
        EXPECT_FALSE(window);
    }
}

// The file asks Windows for each monitor's own pixels: per-monitor awareness, and system-wide
// awareness where per-monitor awareness is unknown. (Wine treats every program as per-monitor
// aware, so the request is read from the file.)
TEST(Saver, DeclaresPerMonitorDpiAwarenessWithTheSystemWideFallback) {
    const HMODULE scr =
        LoadLibraryExA(ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC found = FindResourceA(scr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(scr, found))),
                               SizeofResource(scr, found));
    FreeLibrary(scr);
    EXPECT_NE(manifest.find("WindowsSettings\">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"),
              std::string::npos);
}

TEST(Saver, FullScreenIsATopmostPopupThatInputsCloseWithTheRunningFlagSetMeanwhile) {
    const RegistryKeySnapshot settings(kSettingsKey); // the defaults
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    // A red backdrop first, so that what covers it is something the saver drew.
    TestWindow backdrop(0, 0, width, height, WS_POPUP | WS_VISIBLE);
    const auto redOnGrid = [&](HWND window) { // 3 x 3 points from corner to corner
        const auto pixels = Capture(window).second;
        int red = 0;
        for (int i = 0; i < 9; ++i)
            red +=
                pixels[(height - 1) * (i / 3) / 2 * width + (width - 1) * (i % 3) / 2] == 0xFF0000;
        return red;
    };
    ASSERT_TRUE(WaitUntil([&] { return redOnGrid(backdrop.Handle()) == 9; }, 3000));
    ASSERT_EQ(ScreenSaverRunningFlag(), 0u);
    // No crash dialog from Wine's debugger, which reports on the saver's output instead.
    const RegistryKeySnapshot debugger("Software\\Wine\\WineDbg");
    ASSERT_TRUE(SetDword("Software\\Wine\\WineDbg", "ShowCrashDialog", 0));
    // Closed by a one-pixel move, each button, Page Down (paging is off), another application's
    // activation, and at last by a fault.
    for (int input = 0; input < 7; ++input) {
        SCOPED_TRACE(input);
        FullScreenRun run;
        ASSERT_NE(run.Window, nullptr);
        if (input == 0) {
            EXPECT_EQ(ScreenSaverRunningFlag(), 1u);
            EXPECT_EQ(Bounds(run.Window), (std::array<LONG, 4>{0, 0, width, height}));
            EXPECT_EQ(GetParent(run.Window), nullptr);
            EXPECT_EQ(GetWindowLongA(run.Window, GWL_STYLE) &
                          (WS_POPUP | WS_VISIBLE | WS_CHILD | WS_CAPTION),
                      static_cast<LONG>(WS_POPUP | WS_VISIBLE));
            EXPECT_NE(GetWindowLongA(run.Window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
            EXPECT_EQ(GetForegroundWindow(), run.Window);
            EXPECT_TRUE(WaitUntil([&] { return redOnGrid(run.Window) == 0; }, 3000));
            // Kept: the move the system reports under an unmoved cursor and a real one onto the
            // spot; every system command and Alt+F4; activation within the application.
            PostMessageA(run.Window, WM_MOUSEMOVE, 0, MAKELPARAM(kStartX, kStartY));
            SetCursorPos(kStartX, kStartY);
            for (const WPARAM command : {SC_CLOSE, SC_MINIMIZE, SC_SCREENSAVE, SC_TASKLIST})
                PostMessageA(run.Window, WM_SYSCOMMAND, command, 0);
            SendKeys({VK_MENU, VK_F4});
            PostMessageA(run.Window, WM_ACTIVATEAPP, TRUE, 0);
            PostMessageA(run.Window, WM_ACTIVATE, WA_INACTIVE, 0);
            EXPECT_TRUE(StaysOpen(run.Saver, run.Window));
            EXPECT_FALSE(IsIconic(run.Window));
            SetCursorPos(kStartX + 1, kStartY);
        }
        const DWORD down = input >= 1 && input <= 3 ? MOUSEEVENTF_LEFTDOWN << 2 * (input - 1) : 0;
        if (down != 0) SendMouse({down, down << 1}); // left, right, middle
        if (input == 4) SendKeys({VK_NEXT});
        if (input == 5) PostMessageA(run.Window, WM_ACTIVATEAPP, FALSE, GetCurrentThreadId());
        if (input == 6) { // a thread that jumps to an unmapped address: a fault nothing handles
            const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, run.Saver.Id());
            CloseHandle(CreateRemoteThread(process, nullptr, 0,
                                           reinterpret_cast<LPTHREAD_START_ROUTINE>(0x10), nullptr,
                                           0, nullptr));
            CloseHandle(process);
        }
        ASSERT_TRUE(run.Saver.WaitForExit(15000));
        EXPECT_EQ(run.Saver.ExitCode() != 0, input == 6);
        EXPECT_EQ(ScreenSaverRunningFlag(), 0u);
    }
}

// A copy of the saver named `name` in a folder of its own beside the stand-ins for the Windows
// 95/98 password libraries, which log their loads and calls to hooks.log there (through
// LM_HOOK_LOG); Wine is told, for that name only, to report Windows 98 and to load our "mpr.dll".
struct HookedSaver {
    explicit HookedSaver(const std::string& name) : Name(name) {
        CreateDirectoryA(Folder.c_str(), nullptr);
        DeleteFileA((Folder + "\\hooks.log").c_str());
        SetEnvironmentVariableA("LM_HOOK_LOG", (Folder + "\\hooks.log").c_str());
        for (const auto& [from, to] :
             {std::pair<std::string, std::string>{LM_SCREENSAVER_UNIX_PATH, name},
              {LM_TEST_PASSWORD_CPL, "password.cpl"},
              {LM_TEST_MPR_DLL, "mpr.dll"}})
            EXPECT_TRUE(CopyFileA(WindowsPath(from).c_str(), (Folder + "\\" + to).c_str(), FALSE));
        EXPECT_TRUE(SetString(AppDefaults, "Version", "win98"));
        EXPECT_TRUE(SetString(AppDefaults + "\\DllOverrides", "mpr", "native"));
    }
    // Read as text: the stand-ins write their lines with Windows line ends.
    std::string Log() const {
        std::ifstream file(Folder + "\\hooks.log");
        return {std::istreambuf_iterator<char>(file), {}};
    }

    const std::string Name, Folder = WindowsPath(LM_TEST_BINARY_DIR "/" + Name + ".d"),
                            AppDefaults = "Software\\Wine\\AppDefaults\\" + Name;
    const RegistryKeySnapshot AppDefaultsSnapshot{AppDefaults}, Settings{kSettingsKey};
};

// On Windows 98 the close is asked of password.cpl, which refuses the first time: the library is
// loaded for each request, called with the window, and freed again. The password change calls
// mpr.dll with the screen-saver provider and the parent.
TEST(PasswordHooks, TheCloseIsAskedOfPasswordCplAndThePasswordChangeOfMpr) {
    HookedSaver hooked("LanternmoorW98.scr");
    FullScreenRun run(hooked.Folder + "\\" + hooked.Name);
    ASSERT_NE(run.Window, nullptr);
    const std::string request = "attach\nverify " + HandleText(run.Window) + "\ndetach\n";
    SendKeys({'R'});
    ASSERT_TRUE(WaitUntil([&] { return hooked.Log() == request; }, 5000));
    EXPECT_TRUE(StaysOpen(run.Saver, run.Window)) << "the refusal was not heeded";
    SendKeys({'R'});
    EXPECT_TRUE(EndsWith(run.Saver, 0));
    EXPECT_EQ(hooked.Log(), request + request);

    DeleteFileA((hooked.Folder + "\\hooks.log").c_str());
    TestWindow parent(10, 10, 120, 90, WS_OVERLAPPEDWINDOW);
    Process change(hooked.Folder + "\\" + hooked.Name, "/a " + HandleText(parent.Handle()));
    EXPECT_TRUE(EndsWith(change, 0));
    EXPECT_EQ(hooked.Log(),
              "attach\nchange SCRSAVE " + HandleText(parent.Handle()) + " 0 0\ndetach\n");
}

} // namespace
