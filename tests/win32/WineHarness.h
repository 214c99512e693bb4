// Helpers of the Windows-side tests: starting Lanternmoor.scr, waiting for it while this thread
// keeps pumping its messages (the saver's preview window is a child of our windows, and the
// system sends our windows messages on its behalf), windows of ours and of other processes, real
// input, screen pixels, and the registry below HKEY_CURRENT_USER written with its API.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace harness {

const std::string kSettingsKey = "Software\\Quillfern\\Lanternmoor";
// The key of setting `index` in the order of kSettingNames: the last four are in the subkey.
inline std::string SettingKey(int index) {
    return kSettingsKey + (index >= 7 ? "\\Transition Effects" : "");
}
// Where the cursor rests when a full-screen run starts.
constexpr int kStartX = 300;
constexpr int kStartY = 200;

// The Windows path (drive Z:) of a Unix path of the build tree.
inline std::string WindowsPath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}
inline std::string ScreenSaverPath() {
    return WindowsPath(LM_SCREENSAVER_UNIX_PATH);
}
// A window handle as a caller writes it on the command line.
inline std::string HandleText(HWND window) {
    return std::to_string(reinterpret_cast<UINT_PTR>(window));
}

// Pumps this thread's messages until `done` holds or `milliseconds` pass; true when it held. Keys
// for `dialog` go through the dialog manager, as in a modal loop.
inline bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds,
                      HWND dialog = nullptr) {
    for (const DWORD start = GetTickCount();;
         MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);)
            if (dialog == nullptr || !IsDialogMessageA(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        if (done()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
    }
}
inline void Pump(DWORD milliseconds) {
    WaitUntil([] { return false; }, milliseconds);
}

// One run of the saver (or any program); terminated if still running when destroyed.
class Process {
public:
    Process(const std::string& program, std::string arguments) {
        arguments = "\"" + program + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (CreateProcessA(program.c_str(), &arguments[0], nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info_))
            CloseHandle(info_.hThread);
    }
    ~Process() {
        if (Running()) TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Id() const { return info_.dwProcessId; }
    bool Running() { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits (pumping messages) for the exit; true when it exited in time.
    bool WaitForExit(DWORD milliseconds) {
        return WaitUntil([this] { return !Running(); }, milliseconds);
    }
    // The exit code, once exited.
    DWORD ExitCode() {
        DWORD code = ~0u;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
};

// Success when the run ends within `milliseconds` with `exitCode`.
inline ::testing::AssertionResult EndsWith(Process& saver, DWORD exitCode,
                                           DWORD milliseconds = 5000) {
    const bool ended = saver.WaitForExit(milliseconds);
    return ended && saver.ExitCode() == exitCode ? ::testing::AssertionSuccess()
                                                 : ::testing::AssertionFailure()
                                                       << (ended ? "exit code " : "running, code ")
                                                       << saver.ExitCode();
}
// Gives a close request time to arrive: success when the saver and its window are still there.
inline ::testing::AssertionResult StaysOpen(Process& saver, HWND window) {
    Pump(400);
    return ::testing::AssertionResult(saver.Running() && IsWindow(window));
}
// A visible window of process `processId` with that class and title (any when null), top-level or
// a child of `parent`; null when none shows within `milliseconds`.
inline HWND FindWindowOf(DWORD processId, const char* className, const char* title,
                         HWND parent = nullptr, DWORD milliseconds = 10000) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            DWORD owner = 0;
            while ((found = FindWindowExA(parent, found, className, title)) != nullptr)
                if (GetWindowThreadProcessId(found, &owner) && owner == processId &&
                    IsWindowVisible(found))
                    return true;
            return false;
        },
        milliseconds);
    return found;
}
// Its outer rectangle: left, top, right, bottom.
inline std::array<LONG, 4> Bounds(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}
// Its text, asked for with WM_GETTEXT (across processes GetWindowText gives the creation caption).
inline std::string Text(HWND window) {
    char text[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// A full-screen run of `program` with the cursor resting at `start`, its window found and in the
// foreground.
struct FullScreenRun {
    explicit FullScreenRun(const std::string& program = ScreenSaverPath(),
                           POINT start = {kStartX, kStartY})
        : Saver((SetCursorPos(start.x, start.y), program), "/s"),
          Window(FindWindowOf(Saver.Id(), "SlideshowScreenSaverClass", "ScreenSaverWindow")) {
        WaitUntil([this] { return Window == nullptr || GetForegroundWindow() == Window; }, 3000);
    }
    Process Saver;
    HWND Window;
};

// A plain red top-level window of ours.
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, DWORD style) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &DefWindowProcA;
        windowClass.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
        windowClass.lpszClassName = "LanternmoorTestWindow";
        // Registered once; later attempts fail and leave the first brush in use.
        if (RegisterClassA(&windowClass) == 0) DeleteObject(windowClass.hbrBackground);
        window_ = CreateWindowExA(0, "LanternmoorTestWindow", "Lanternmoor test window", style, x,
                                  y, width, height, nullptr, nullptr, nullptr, nullptr);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
        Pump(50);
    }
    ~TestWindow() { Destroy(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return window_; }
    // Destroys it now (as the Display Properties dialog destroys its preview area).
    void Destroy() {
        if (window_ != nullptr) DestroyWindow(window_);
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
};

// The width x height pixels of `source` from (x, y) as 0x00RRGGBB (the layout of the pixel
// buffer), top row first, masked with `bits`.
inline std::vector<DWORD> ReadPixels(HDC source, int x, int y, int width, int height,
                                     DWORD bits = 0xFFFFFF) {
    const HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* data = nullptr;
    const HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &data, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<DWORD*>(data),
                              static_cast<DWORD*>(data) + std::size_t(width) * height);
    for (DWORD& p : pixels)
        p &= bits;
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    return pixels;
}
// A screen of width x height as it must look with a picture that prepare-picture made for it (in
// the folder LM_EXPECTED names: NAME.txt, "W H X Y", and NAME.ppm, the pixels): the picture on
// black, masked with `bits`; all black without the files (prepare-picture refused the picture).
// `line` receives the first line of NAME.txt.
inline std::vector<DWORD> PreparedScreen(const std::string& name, int width, int height,
                                         DWORD bits = 0xFFFFFF, std::string* line = nullptr) {
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA("LM_EXPECTED", folder, sizeof folder);
    const std::string path = std::string(folder) + "\\" + name;
    std::vector<DWORD> screen(std::size_t(width) * height, 0);
    std::string text;
    std::getline(std::ifstream(path + ".txt"), text);
    int w = 0, h = 0, x = 0, y = 0, maxval = 0;
    std::istringstream(text) >> w >> h >> x >> y;
    std::ifstream ppm(path + ".ppm", std::ios::binary);
    std::string magic;
    ppm >> magic >> w >> h >> maxval;
    ppm.get();
    unsigned char rgb[3];
    for (int i = 0; i < w * h && ppm.read(reinterpret_cast<char*>(rgb), 3); ++i)
        screen[std::size_t(y + i / w) * width + x + i % w] =
            (rgb[0] << 16 | rgb[1] << 8 | rgb[2]) & bits;
    if (line != nullptr) *line = text;
    return screen;
}

// How a screen `width` pixels wide shows a caption box drawn over the expected screen: `box`
// outlined in black; inside it every other pixel black (either phase of the checkerboard) and the
// others as expected, but where the text is written (`box` less 10 pixels on every side). The
// pixels wrong with the better phase and the white ones in the text's rectangle.
struct CaptionBoxPixels {
    long Wrong;
    long White;
};
inline CaptionBoxPixels CountCaptionBox(const std::vector<DWORD>& shot,
                                        const std::vector<DWORD>& expected, int width,
                                        const RECT& box) {
    RECT written = box;
    InflateRect(&written, -10, -10);
    long wrong[2] = {}, white = 0;
    for (std::size_t i = 0; i < shot.size(); ++i) {
        const POINT at{static_cast<LONG>(i % width), static_cast<LONG>(i / width)};
        const bool inside = PtInRect(&box, at) != 0,
                   outline = inside && (at.x == box.left || at.x == box.right - 1 ||
                                        at.y == box.top || at.y == box.bottom - 1);
        if (!outline && PtInRect(&written, at))
            white += shot[i] == 0xFFFFFF;
        else
            for (const int dark : {0, 1})
                wrong[dark] +=
                    shot[i] != (outline || (inside && (at.x + at.y) % 2 == dark) ? 0 : expected[i]);
    }
    return {std::min(wrong[0], wrong[1]), white};
}

// What the screen shows of `window`: its width and its pixels.
inline std::pair<LONG, std::vector<DWORD>> Capture(HWND window) {
    const auto [left, top, right, bottom] = Bounds(window);
    const HDC screen = GetDC(nullptr);
    std::vector<DWORD> pixels = ReadPixels(screen, left, top, right - left, bottom - top);
    ReleaseDC(nullptr, screen);
    return {right - left, pixels};
}

// The size of `text` drawn as the saver draws its captions: with the default font of a fresh
// memory context.
inline RECT MeasureText(const std::string& text) {
    const HDC memory = CreateCompatibleDC(nullptr);
    RECT measured{};
    DrawTextA(memory, text.c_str(), -1, &measured, DT_CALCRECT);
    DeleteDC(memory);
    return measured;
}

// Real input through the system's input queue: the keys pressed in order and released in
// reverse; mouse events by their flags; a left click in the middle of a window.
inline void SendKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs(keys.size() * 2, INPUT{INPUT_KEYBOARD, {}});
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].ki.wVk = keys.begin()[std::min(i, inputs.size() - 1 - i)];
        inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(inputs[i].ki.wVk, 0));
        inputs[i].ki.dwFlags = i < keys.size() ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}
inline void SendMouse(std::initializer_list<DWORD> flags) {
    std::vector<INPUT> inputs(flags.size(), INPUT{INPUT_MOUSE, {}});
    for (std::size_t i = 0; i < inputs.size(); ++i)
        inputs[i].mi.dwFlags = flags.begin()[i];
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}
inline void Click(HWND window) {
    const auto [left, top, right, bottom] = Bounds(window);
    SetCursorPos((left + right) / 2, (top + bottom) / 2);
    SendMouse({MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
}

// Ends a full-screen run with a key, which must close it with exit code 0.
inline void Quit(FullScreenRun& run) {
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0, 10000));
}

// A row of control states or registry values.
using Row = std::vector<long long>;
// One run of the configuration, its sheet and page found.
struct SheetRun {
    explicit SheetRun(const std::string& arguments) : Saver(ScreenSaverPath(), arguments) {
        Sheet = FindWindowOf(Saver.Id(), "#32770", "Properties");
        Page = reinterpret_cast<HWND>(SendMessageA(Sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        WaitUntil([this] { return GetForegroundWindow() == Sheet; }, 3000);
    }
    HWND Item(int id) const { return GetDlgItem(Page, id); }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(Item(id), message, wParam, lParam);
    }
    // Check boxes 1005, 1006, 1007, 1009, 1001; trackbars 1003, 1008; the check marks of the
    // effects in list order; list 1010 and trackbar 1008 enabled.
    Row Shown() const {
        Row shown;
        for (const int id : {1005, 1006, 1007, 1009, 1001})
            shown.push_back(Send(id, BM_GETCHECK));
        for (const int id : {1003, 1008})
            shown.push_back(Send(id, TBM_GETPOS));
        for (int index = 0; index < 4; ++index) // state image 2 checked, 1 not
            shown.push_back((Send(1010, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK) >> 12) - 1);
        shown.push_back(IsWindowEnabled(Item(1010)));
        shown.push_back(IsWindowEnabled(Item(1008)));
        return shown;
    }
    // The page follows real input a moment later.
    ::testing::AssertionResult Shows(const Row& expected) const {
        return WaitUntil([&] { return Shown() == expected; }, 3000)
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << ::testing::PrintToString(Shown());
    }
    // Posted, as a click comes: the sheet's loop notices its end only on a message.
    void Press(int button) const { PostMessageA(Sheet, PSM_PRESSBUTTON, button, 0); }

    Process Saver;
    HWND Sheet = nullptr, Page = nullptr;
};

// Whether the key exists and opens with `access`.
inline bool KeyExists(const std::string& path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    const bool exists =
        RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}
// Writes a value, creating the key when missing.
inline bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data,
                     DWORD size) {
    return SHSetValueA(HKEY_CURRENT_USER, path.c_str(), name.c_str(), type, data, size) == 0;
}
inline bool SetDword(const std::string& path, const std::string& name, DWORD value) {
    return SetValue(path, name, REG_DWORD, &value, sizeof value);
}
inline bool SetString(const std::string& path, const std::string& name, const std::string& value) {
    return SetValue(path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}
// Saves a registry key with all its values and subkeys, empties it, and puts it back exactly (or
// removes it, if it did not exist) when destroyed.
class RegistryKeySnapshot {
public:
    explicit RegistryKeySnapshot(std::string path)
        : path_(std::move(path)), existed_(KeyExists(path_)) {
        Move(path_, backup_);
    }
    ~RegistryKeySnapshot() { Move(backup_, path_); }
    RegistryKeySnapshot(const RegistryKeySnapshot&) = delete;
    RegistryKeySnapshot& operator=(const RegistryKeySnapshot&) = delete;

private:
    // Moves key `from` with its values and subkeys to `to`, if the saved key existed.
    void Move(const std::string& from, const std::string& to) const {
        SHDeleteKeyA(HKEY_CURRENT_USER, to.c_str());
        HKEY copy = nullptr;
        if (existed_ && RegCreateKeyExA(HKEY_CURRENT_USER, to.c_str(), 0, nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, &copy, nullptr) == 0)
            SHCopyKeyA(HKEY_CURRENT_USER, from.c_str(), copy, 0);
        RegCloseKey(copy);
        SHDeleteKeyA(HKEY_CURRENT_USER, from.c_str());
    }

    // The backup is one key directly below Software, named after the path, so it goes without
    // a trace.
    const std::string path_;
    const bool existed_;
    const std::string backup_ =
        "Software\\Lanternmoor test backup " + std::to_string(std::hash<std::string>()(path_));
};

// The show's settings for one run: no caption, no transition, Page Up and Page Down on, no
// automatic step, unless `values` say otherwise; the key is emptied first and put back afterwards.
struct ShowSettings {
    explicit ShowSettings(std::vector<std::pair<const char*, DWORD>> values = {}) {
        values.insert(
            values.begin(),
            {{"ShowText", 0}, {"UseEffects", 0}, {"EnableKeys", 1}, {"PictureMillis", 600000}});
        for (const auto& [name, value] : values)
            EXPECT_TRUE(SetDword(kSettingsKey, name, value)) << name;
    }
    RegistryKeySnapshot Snapshot{kSettingsKey};
};

} // namespace harness
