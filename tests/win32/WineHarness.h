// Helpers of the Windows-side tests: starting Lanternmoor.scr, waiting for it while this thread
// keeps pumping its messages (the saver's preview window is a child of our windows, and the
// system sends our windows messages on its behalf), windows of our own, real input, and the
// registry below HKEY_CURRENT_USER read and written with the registry API.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

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

    DWORD Id() const { return id_; }
    // Waits (pumping messages) for the exit; true when it exited in time.
    bool WaitForExit(DWORD milliseconds);
    bool Running();
    // The exit code, once exited.
    DWORD ExitCode();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Success when the run ends within `milliseconds` with `exitCode`.
::testing::AssertionResult EndsWith(Process& saver, DWORD exitCode, DWORD milliseconds = 5000);
// Gives a close request time to arrive: success when the saver and its window are still there.
::testing::AssertionResult StaysOpen(Process& saver, HWND window);

// The saver's window of `title` (any title when null), top-level (parent null) or a child of
// `parent`, belonging to process `processId`; null when none appears within `milliseconds`.
HWND FindSaverWindow(const char* title, HWND parent, DWORD processId, DWORD milliseconds);

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

COLORREF ScreenPixel(int x, int y);

// Real input through the system's input queue: the keys pressed in order and released in reverse;
// a click of the button whose down flag is given.
void SendKeys(std::initializer_list<WORD> keys);
void SendClick(DWORD downFlag);

// Saves a registry key with all its values and subkeys, empties it, and puts it back exactly (or
// removes it, if it did not exist) when destroyed.
class RegistryKeySnapshot {
public:
    explicit RegistryKeySnapshot(std::string path);
    ~RegistryKeySnapshot();
    RegistryKeySnapshot(const RegistryKeySnapshot&) = delete;
    RegistryKeySnapshot& operator=(const RegistryKeySnapshot&) = delete;

private:
    std::string path_;
    std::string backup_;
    bool existed_ = false;
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
