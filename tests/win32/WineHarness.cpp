#include "tests/win32/WineHarness.h"

#include <shlwapi.h>

#include <algorithm>

namespace harness {
namespace {

void Send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Replaces key `to` by a copy of key `from` with its values and subkeys (by nothing, if `from`
// did not exist).
void CopyKeyTree(const std::string& from, const std::string& to, bool fromExists) {
    SHDeleteKeyA(HKEY_CURRENT_USER, to.c_str());
    HKEY copy = nullptr;
    if (fromExists && RegCreateKeyExA(HKEY_CURRENT_USER, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &copy, nullptr) == ERROR_SUCCESS) {
        SHCopyKeyA(HKEY_CURRENT_USER, from.c_str(), copy, 0);
        RegCloseKey(copy);
    }
}

} // namespace

std::string WindowsPath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

std::string ScreenSaverPath() {
    return WindowsPath(LM_SCREENSAVER_UNIX_PATH);
}

std::string HandleText(HWND window) {
    return std::to_string(reinterpret_cast<UINT_PTR>(window));
}

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds) {
    for (const DWORD start = GetTickCount();;
         MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
    }
}

void Pump(DWORD milliseconds) {
    WaitUntil([] { return false; }, milliseconds);
}

Process::Process(const std::string& program, const std::string& arguments, bool quiet) {
    std::string commandLine = "\"" + program + "\" " + arguments;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (quiet) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = CreateFileA(
            "NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    }
    if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, quiet, 0, nullptr,
                       nullptr, &startup, &info_))
        CloseHandle(info_.hThread);
    if (quiet) CloseHandle(startup.hStdOutput);
}

Process::~Process() {
    if (Running()) TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hProcess);
}

DWORD Process::ExitCode() {
    DWORD code = ~0u;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

::testing::AssertionResult EndsWith(Process& saver, DWORD exitCode, DWORD milliseconds) {
    if (!saver.WaitForExit(milliseconds))
        return ::testing::AssertionFailure() << "still running after " << milliseconds << " ms";
    if (saver.ExitCode() != exitCode)
        return ::testing::AssertionFailure() << "exit code " << saver.ExitCode();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult StaysOpen(Process& saver, HWND window) {
    Pump(400);
    if (!saver.Running()) return ::testing::AssertionFailure() << "the saver ended";
    if (!IsWindow(window)) return ::testing::AssertionFailure() << "the window is gone";
    return ::testing::AssertionSuccess();
}

HWND FindWindowOf(DWORD processId, const char* className, const char* title, HWND parent,
                  DWORD milliseconds) {
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

std::array<LONG, 4> Bounds(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

std::string Text(HWND window) {
    char text[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

FullScreenRun::FullScreenRun(const std::string& program, bool quiet)
    : Saver((SetCursorPos(kStartX, kStartY), program), "/s", quiet) {
    Window = FindWindowOf(Saver.Id(), "SlideshowScreenSaverClass", "ScreenSaverWindow");
    if (Window != nullptr) WaitUntil([this] { return GetForegroundWindow() == Window; }, 3000);
}

TestWindow::TestWindow(int x, int y, int width, int height, DWORD style) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
    windowClass.lpszClassName = "LanternmoorTestWindow";
    // Registered once; later attempts fail and leave the first brush in use.
    if (RegisterClassA(&windowClass) == 0) DeleteObject(windowClass.hbrBackground);
    window_ = CreateWindowExA(0, "LanternmoorTestWindow", "Lanternmoor test window", style, x, y,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
    Pump(50);
}

void TestWindow::Destroy() {
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
}

std::pair<LONG, std::vector<DWORD>> Capture(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    const HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFOHEADER info{sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<std::size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return {width, pixels};
}

void SendKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs(keys.size() * 2);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const WORD key = keys.begin()[i < keys.size() ? i : inputs.size() - 1 - i];
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki = {key, static_cast<WORD>(MapVirtualKeyA(key, 0)),
                        i < keys.size() ? 0ul : KEYEVENTF_KEYUP, 0, 0};
    }
    Send(inputs);
}

void SendMouse(std::initializer_list<DWORD> flags) {
    std::vector<INPUT> inputs(flags.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = flags.begin()[i];
    }
    Send(inputs);
}

void Click(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMouse({MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
}

RegistryKeySnapshot::RegistryKeySnapshot(std::string path)
    : path_(std::move(path)), backup_("Software\\Lanternmoor test backup of " + path_),
      existed_(KeyExists(path_)) {
    // One key directly below Software, named after the whole path, so it goes without a trace.
    std::replace(backup_.begin() + 9, backup_.end(), '\\', '/');
    CopyKeyTree(path_, backup_, existed_);
    SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
}

RegistryKeySnapshot::~RegistryKeySnapshot() {
    CopyKeyTree(backup_, path_, existed_);
    SHDeleteKeyA(HKEY_CURRENT_USER, backup_.c_str());
}

bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size) {
    return SHSetValueA(HKEY_CURRENT_USER, path.c_str(), name.c_str(), type, data, size) ==
           ERROR_SUCCESS;
}

bool SetDword(const std::string& path, const std::string& name, DWORD value) {
    return SetValue(path, name, REG_DWORD, &value, sizeof value);
}

bool SetString(const std::string& path, const std::string& name, const std::string& value) {
    return SetValue(path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::map<std::string, RegistryValue> Values(const std::string& path) {
    std::map<std::string, RegistryValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    char name[256];
    BYTE data[1024];
    DWORD nameSize = sizeof name, type = REG_NONE, size = sizeof data;
    for (DWORD index = 0;
         RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &size) == ERROR_SUCCESS;
         ++index, nameSize = sizeof name, size = sizeof data)
        values[name] = {type, std::vector<BYTE>(data, data + size)};
    RegCloseKey(key);
    return values;
}

} // namespace harness
