#include "tests/win32/WineHarness.h"

#include <shlwapi.h>

#include <algorithm>

namespace harness {
namespace {

struct FindContext {
    DWORD ProcessId;
    const char* Title;
    HWND Found;
};

BOOL CALLBACK MatchSaverWindow(HWND window, LPARAM parameter) {
    auto* context = reinterpret_cast<FindContext*>(parameter);
    char className[64] = {};
    char title[64] = {};
    DWORD processId = 0;
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    GetWindowThreadProcessId(window, &processId);
    if (processId != context->ProcessId || lstrcmpA(className, "SlideshowScreenSaverClass") != 0 ||
        (context->Title != nullptr && lstrcmpA(title, context->Title) != 0))
        return TRUE;
    context->Found = window;
    return FALSE;
}

INPUT KeyInput(WORD virtualKey, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, 0));
    input.ki.dwFlags = flags;
    return input;
}

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
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void Pump(DWORD milliseconds) {
    WaitUntil([] { return false; }, milliseconds);
}

Process::Process(const std::string& program, const std::string& arguments, bool quiet) {
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE nul = quiet ? CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable,
                                           OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
    if (quiet) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = nul;
    }
    PROCESS_INFORMATION information{};
    if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, quiet, 0, nullptr,
                       nullptr, &startup, &information)) {
        CloseHandle(information.hThread);
        process_ = information.hProcess;
        id_ = information.dwProcessId;
    }
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
}

Process::~Process() {
    if (process_ == nullptr) return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool Process::WaitForExit(DWORD milliseconds) {
    return WaitUntil([this] { return !Running(); }, milliseconds);
}

bool Process::Running() {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD Process::ExitCode() {
    DWORD code = ~0u;
    if (process_ != nullptr) GetExitCodeProcess(process_, &code);
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

HWND FindSaverWindow(const char* title, HWND parent, DWORD processId, DWORD milliseconds) {
    FindContext context{processId, title, nullptr};
    const auto lParam = reinterpret_cast<LPARAM>(&context);
    WaitUntil(
        [&] {
            if (parent == nullptr)
                EnumWindows(&MatchSaverWindow, lParam);
            else
                EnumChildWindows(parent, &MatchSaverWindow, lParam);
            return context.Found != nullptr;
        },
        milliseconds);
    return context.Found;
}

FullScreenRun::FullScreenRun(const std::string& program, bool quiet)
    : Saver((SetCursorPos(kStartX, kStartY), program), "/s", quiet) {
    Window = FindSaverWindow("ScreenSaverWindow", nullptr, Saver.Id(), 10000);
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

COLORREF ScreenPixel(int x, int y) {
    const HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

void SendKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (const WORD key : keys)
        inputs.push_back(KeyInput(key, 0));
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
        inputs.push_back(KeyInput(*key, KEYEVENTF_KEYUP));
    Send(inputs);
}

void SendClick(DWORD downFlag) {
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = downFlag;
    INPUT up = down;
    up.mi.dwFlags = downFlag << 1; // every button's up flag follows its down flag
    Send({down, up});
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
