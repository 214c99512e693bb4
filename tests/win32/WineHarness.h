// Helpers of the Windows-side tests: starting Lanternmoor.scr, waiting for it while this thread
// keeps pumping its messages (the saver's preview window is a child of our windows, and the
// system sends our windows messages on its behalf), windows of our own, and registry snapshots.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace harness {

// The Windows path (drive Z:) of a Unix path of the build tree.
std::string WindowsPath(std::string unixPath);
// The Windows path of the built Lanternmoor.scr.
std::string ScreenSaverPath();
// A folder of its own below the test's build folder (created, emptied), as a Windows path.
std::string ScratchFolder(const std::string& name);
// Copies Lanternmoor.scr into `folder` as `name`.
bool CopyScreenSaverInto(const std::string& folder, const std::string& name);
// Copies a built file (a Unix path of the build tree, compiled in) into `folder` as `name`.
bool CopyInto(const std::string& source, const std::string& folder, const std::string& name);

// Pumps this thread's messages for `milliseconds`.
void Pump(DWORD milliseconds);
// Pumps messages until `done` holds or `milliseconds` pass; true when it held.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);

// One run of the screen saver (or any program); terminated if still running when destroyed.
class Process {
public:
    // `quiet` sends the program's standard output and error to NUL.
    Process(const std::string& program, const std::string& arguments, bool quiet = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return process_ != nullptr; }
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

// Runs the screen saver with `arguments` to its end; the exit code, or ~0u when it did not end
// within `milliseconds` (it is killed then). `sawWindow` tells whether a window of the saver's
// class appeared meanwhile.
DWORD RunToEnd(const std::string& arguments, DWORD milliseconds, bool* sawWindow = nullptr);

// The saver's window of `title`, top-level (parent null) or a child of `parent`, belonging to
// process `processId`; null when none appears within `milliseconds`.
HWND FindSaverWindow(const char* title, HWND parent, DWORD processId, DWORD milliseconds);
// Whether any window of the saver's class belongs to `processId` (top-level or child of `parent`).
bool HasSaverWindow(DWORD processId, HWND parent = nullptr);

// A plain top-level window of ours, filled with one colour.
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, COLORREF colour, DWORD style);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return window_; }
    // Destroys it now (as the Display Properties dialog destroys its preview area).
    void Destroy();

private:
    HWND window_ = nullptr;
};

// The colour of a screen pixel.
COLORREF ScreenPixel(int x, int y);

// Sends real input through the system's input queue.
void SendKey(WORD virtualKey);
void SendClick(DWORD downFlag, DWORD upFlag);
void SendAltF4();

// Saves a registry key with all its values and subkeys below HKEY_CURRENT_USER, and puts it back
// exactly (or removes it, if it did not exist) when destroyed.
class RegistryKeySnapshot {
public:
    explicit RegistryKeySnapshot(std::string path);
    ~RegistryKeySnapshot();
    RegistryKeySnapshot(const RegistryKeySnapshot&) = delete;
    RegistryKeySnapshot& operator=(const RegistryKeySnapshot&) = delete;

    struct Value {
        std::string Name;
        DWORD Type;
        std::vector<BYTE> Data;
    };
    struct Key {
        std::string Path;
        std::vector<Value> Values;
    };

private:
    std::string path_;
    bool existed_ = false;
    std::vector<Key> keys_;
};

// Registry helpers below HKEY_CURRENT_USER.
void DeleteKeyTree(const std::string& path);
bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size);
bool SetDword(const std::string& path, const std::string& name, DWORD value);
bool SetString(const std::string& path, const std::string& name, const std::string& value);
// Reads a value; false when missing.
bool GetValue(const std::string& path, const std::string& name, DWORD& type,
              std::vector<BYTE>& data);
// The names of the values of a key, sorted.
std::vector<std::string> ValueNames(const std::string& path);

} // namespace harness
