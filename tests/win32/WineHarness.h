// Helpers of the Windows-side tests: starting Lanternmoor.scr, waiting for it while this thread
// keeps pumping its messages (the saver's preview window is a child of our windows, and the
// system sends our windows messages on its behalf), windows of ours and of other processes, real
// input, screen pixels, and the registry below HKEY_CURRENT_USER read and written with its API.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace harness {

const std::string kSettingsKey = "Software\\Quillfern\\Lanternmoor";
// Where the cursor rests when a full-screen run starts.
constexpr int kStartX = 300;
constexpr int kStartY = 200;

// The Windows path (drive Z:) of a Unix path of the build tree.
std::string WindowsPath(std::string unixPath);
// The Windows path of the built Lanternmoor.scr.
std::string ScreenSaverPath();
// A window handle as a caller writes it on the command line.
std::string HandleText(HWND window);

// Pumps this thread's messages until `done` holds or `milliseconds` pass; true when it held.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);
void Pump(DWORD milliseconds);

// One run of the saver (or any program); terminated if still running when destroyed.
class Process {
public:
    // `quiet` sends the program's standard output and error to NUL.
    Process(const std::string& program, const std::string& arguments, bool quiet = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Id() const { return info_.dwProcessId; }
    bool Running() { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits (pumping messages) for the exit; true when it exited in time.
    bool WaitForExit(DWORD milliseconds) {
        return WaitUntil([this] { return !Running(); }, milliseconds);
    }
    // The exit code, once exited.
    DWORD ExitCode();

private:
    PROCESS_INFORMATION info_{};
};

// Success when the run ends within `milliseconds` with `exitCode`.
::testing::AssertionResult EndsWith(Process& saver, DWORD exitCode, DWORD milliseconds = 5000);
// Gives a close request time to arrive: success when the saver and its window are still there.
::testing::AssertionResult StaysOpen(Process& saver, HWND window);

// A visible window of process `processId` with that class and title (any when null), top-level or
// a child of `parent`; null when none shows within `milliseconds`.
HWND FindWindowOf(DWORD processId, const char* className, const char* title, HWND parent = nullptr,
                  DWORD milliseconds = 10000);
// Its outer rectangle: left, top, right, bottom.
std::array<LONG, 4> Bounds(HWND window);
// Its text, asked for with WM_GETTEXT (across processes GetWindowText gives the creation caption).
std::string Text(HWND window);

// A full-screen run of `program` with the cursor resting at the start position, its window found
// and in the foreground.
struct FullScreenRun {
    explicit FullScreenRun(const std::string& program = ScreenSaverPath(), bool quiet = false);
    Process Saver;
    HWND Window = nullptr;
};

// A plain red top-level window of ours.
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, DWORD style);
    ~TestWindow() { Destroy(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return window_; }
    // Destroys it now (as the Display Properties dialog destroys its preview area).
    void Destroy();

private:
    HWND window_ = nullptr;
};

// What the screen shows of `window`: its width and its pixels, 0x00RRGGBB, top row first.
std::pair<LONG, std::vector<DWORD>> Capture(HWND window);

// Real input through the system's input queue: the keys pressed in order and released in reverse;
// mouse events by their flags; a left click in the middle of a window.
void SendKeys(std::initializer_list<WORD> keys);
void SendMouse(std::initializer_list<DWORD> flags);
void Click(HWND window);

// Saves a registry key with all its values and subkeys, empties it, and puts it back exactly (or
// removes it, if it did not exist) when destroyed.
class RegistryKeySnapshot {
public:
    explicit RegistryKeySnapshot(std::string path);
    ~RegistryKeySnapshot();
    RegistryKeySnapshot(const RegistryKeySnapshot&) = delete;
    RegistryKeySnapshot& operator=(const RegistryKeySnapshot&) = delete;

private:
    std::string path_, backup_;
    bool existed_;
};

struct RegistryValue {
    DWORD Type;
    std::vector<BYTE> Data;
};
// Writes a value, creating the key when missing.
bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size);
bool SetDword(const std::string& path, const std::string& name, DWORD value);
bool SetString(const std::string& path, const std::string& name, const std::string& value);
bool KeyExists(const std::string& path);
// The values of a key by name.
std::map<std::string, RegistryValue> Values(const std::string& path);

} // namespace harness
