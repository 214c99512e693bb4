// What the Windows-side tests share: starting Lanternmoor.scr, waiting for it while this thread
// keeps pumping its messages (the saver's preview window is a child of our windows, and the system
// sends our windows messages on its behalf), windows of ours and of other processes, real input,
// screen pixels, the configuration's page, and the settings in the registry, named as the product
// names them.
#pragma once

#include "tests/settings/NamedValues.h"

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace harness {

// The settings key below HKEY_CURRENT_USER, and the key that holds the value `name` (the
// effects' subkey for an effect's name).
extern const std::string kSettingsKey;
std::string SettingKey(const std::string& name);
// The eleven values in the order they are saved: the key's seven, then the four effects.
std::vector<std::string> SettingNames();
// Where the cursor rests when a full-screen run starts.
constexpr int kStartX = 300;
constexpr int kStartY = 200;

// The Windows path (drive Z:) of a Unix path of the build tree.
std::string WindowsPath(std::string unixPath);
std::string ScreenSaverPath();
// A window handle as a caller writes it on the command line.
std::string HandleText(HWND window);

// Pumps this thread's messages until `done` holds or `milliseconds` pass; true when it held. Keys
// for `dialog` go through the dialog manager, as in a modal loop.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds, HWND dialog = nullptr);
void Pump(DWORD milliseconds);

// One run of the saver (or any program); terminated if still running when destroyed. With an
// `output` file, what it prints goes there and its input is empty.
class Process {
public:
    Process(const std::string& program, std::string arguments, const std::string& output = "");
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Id() const { return Info.dwProcessId; }
    bool Running() const;
    // Waits (pumping messages) for the exit; true when it exited in time.
    bool WaitForExit(DWORD milliseconds) const;
    // The exit code, once exited.
    DWORD ExitCode() const;

private:
    PROCESS_INFORMATION Info{};
};

// Success when the run ends within `milliseconds` with `exitCode`.
::testing::AssertionResult EndsWith(const Process& saver, DWORD exitCode,
                                    DWORD milliseconds = 5000);
// Gives a close request time to arrive: success when the saver and its window are still there.
::testing::AssertionResult StaysOpen(const Process& saver, HWND window);
// A visible window of process `processId` with that class and title (any when null), top-level or
// a child of `parent`; null when none shows within `milliseconds`.
HWND FindWindowOf(DWORD processId, const char* className, const char* title, HWND parent = nullptr,
                  DWORD milliseconds = 10000);
// Its outer rectangle: left, top, right, bottom.
std::array<LONG, 4> Bounds(HWND window);
// Its text, asked for with WM_GETTEXT (across processes GetWindowText gives the creation caption).
std::string Text(HWND window);

// A full-screen run of `program` with the cursor resting at `start`, its window found and in the
// foreground.
struct FullScreenRun {
    explicit FullScreenRun(const std::string& program = ScreenSaverPath(),
                           POINT start = {kStartX, kStartY});
    Process Saver;
    HWND Window;
};
// Ends a full-screen run with a key, which must close it with exit code 0.
void Quit(FullScreenRun& run);

// A plain red top-level window of ours.
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, DWORD style);
    ~TestWindow() { Destroy(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return Hwnd; }
    // Destroys it now (as the Display Properties dialog destroys its preview area).
    void Destroy();

private:
    HWND Hwnd = nullptr;
};

// The width x height pixels of `source` from (x, y) as 0x00RRGGBB (the layout of the pixel
// buffer), top row first, masked with `bits`.
std::vector<DWORD> ReadPixels(HDC source, int x, int y, int width, int height,
                              DWORD bits = 0xFFFFFF);
// What the screen shows of `area` (screen coordinates), masked with `bits`; of `window`: its
// width and its pixels.
std::vector<DWORD> CaptureArea(const RECT& area, DWORD bits = 0xFFFFFF);
std::pair<LONG, std::vector<DWORD>> Capture(HWND window);
// The screen's bits per pixel.
int ScreenDepth();
// The shipped photographs' ids, in show order.
constexpr int kShippedIds[] = {114, 115, 116, 117, 118, 119, 120, 121, 122,
                               123, 124, 125, 126, 127, 128, 129, 134};
// A screen of width x height as it must look with a picture that prepare-picture made for it (in
// the folder LM_EXPECTED names: NAME.txt, "W H X Y", and NAME.ppm, the pixels): the picture on
// black, masked with `bits`; all black without the files (prepare-picture refused the picture).
// `line` receives the first line of NAME.txt.
std::vector<DWORD> PreparedScreen(const std::string& name, int width, int height,
                                  DWORD bits = 0xFFFFFF, std::string* line = nullptr);
// How a screen `width` pixels wide shows a caption box drawn over the expected screen: `box`
// outlined in black; inside it every other pixel black (either phase of the checkerboard) and the
// others as expected, but where the text is written (`box` less 10 pixels on every side). The
// pixels wrong with the better phase and the white ones in the text's rectangle.
struct CaptionBoxPixels {
    long Wrong;
    long White;
};
CaptionBoxPixels CountCaptionBox(const std::vector<DWORD>& shot, const std::vector<DWORD>& expected,
                                 int width, const RECT& box);
// Pixels as Capture gives them, saved as a binary PPM file in the build tree's screenshots/ for
// people to look at (the README's pictures are made of them).
void SaveScreenshot(const std::vector<DWORD>& pixels, LONG width, const std::string& name);
// The size of `text` drawn as the saver draws its captions: with the default font of a fresh
// memory context.
RECT MeasureText(const std::string& text);

// Real input through the system's input queue: the keys pressed in order and released in
// reverse; mouse events by their flags; a left click in the middle of a window, followed, when
// `done` is given, by a wait (pumping messages) until it holds, so that the next input never
// overtakes a click that has not yet had its effect: false when it does not.
void SendKeys(std::initializer_list<WORD> keys);
void SendMouse(std::initializer_list<DWORD> flags);
bool Click(HWND window, const std::function<bool()>& done = nullptr);

// What the configuration page shows, by the names of the settings: the check boxes, the sliders,
// the effects' check marks, and whether the list ("effect list enabled") and the effects' slider
// ("effect speed enabled") take input.
using PageState = NamedValues;
// What the page shows of the defaults, with the changes of a line of text
// ("UseEffects 0, effect list enabled 0").
PageState DefaultPage(const std::string& changes = "");

// One run of the configuration, its sheet and page found.
struct SheetRun {
    explicit SheetRun(const std::string& arguments);
    HWND Item(int id) const { return GetDlgItem(Page, id); }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(Item(id), message, wParam, lParam);
    }
    PageState Shown() const;
    // The page follows real input a moment later.
    ::testing::AssertionResult Shows(const PageState& expected) const;
    // Posted, as a click comes: the sheet's loop notices its end only on a message.
    void Press(int button) const { PostMessageA(Sheet, PSM_PRESSBUTTON, button, 0); }

    Process Saver;
    HWND Sheet = nullptr, Page = nullptr;
};

// Whether the key exists and opens with `access`.
bool KeyExists(const std::string& path, REGSAM access = KEY_READ);
// Writes a value, creating the key when missing.
bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size);
bool SetDword(const std::string& path, const std::string& name, DWORD value);
bool SetString(const std::string& path, const std::string& name, const std::string& value);
// Saves a registry key with all its values and subkeys, empties it, and puts it back exactly (or
// removes it, if it did not exist) when destroyed.
class RegistryKeySnapshot {
public:
    explicit RegistryKeySnapshot(std::string path);
    ~RegistryKeySnapshot() { Move(Backup, Path); }
    RegistryKeySnapshot(const RegistryKeySnapshot&) = delete;
    RegistryKeySnapshot& operator=(const RegistryKeySnapshot&) = delete;

private:
    // Moves key `from` with its values and subkeys to `to`, if the saved key existed.
    void Move(const std::string& from, const std::string& to) const;

    const std::string Path;
    const bool Existed;
    // One key directly below Software, named after the path, so that it goes without a trace.
    const std::string Backup;
};

// The show's settings for one run: no caption, no transition, Page Up and Page Down on, no
// automatic step, unless `values` say otherwise; the key is emptied first and put back afterwards.
struct ShowSettings {
    explicit ShowSettings(std::vector<std::pair<const char*, DWORD>> values = {});
    RegistryKeySnapshot Snapshot{kSettingsKey};
};

} // namespace harness
