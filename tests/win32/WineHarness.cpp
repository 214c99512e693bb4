#include "tests/win32/WineHarness.h"

#include <algorithm>

namespace harness {
namespace {

constexpr const char* kSaverClass = "SlideshowScreenSaverClass";

LRESULT CALLBACK TestWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(window, &client);
        const HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(window, 0)));
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterTestClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TestWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.lpszClassName = "LanternmoorTestWindow";
    registered = RegisterClassExA(&windowClass) != 0;
}

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
    if (processId == context->ProcessId && lstrcmpA(className, kSaverClass) == 0 &&
        (context->Title == nullptr || lstrcmpA(title, context->Title) == 0)) {
        context->Found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindNow(const char* title, HWND parent, DWORD processId) {
    FindContext context{processId, title, nullptr};
    if (parent == nullptr) {
        EnumWindows(&MatchSaverWindow, reinterpret_cast<LPARAM>(&context));
    } else {
        EnumChildWindows(parent, &MatchSaverWindow, reinterpret_cast<LPARAM>(&context));
    }
    return context.Found;
}

void SendInputs(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT KeyInput(WORD virtualKey, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, 0));
    input.ki.dwFlags = flags;
    return input;
}

void SnapshotKey(const std::string& path, std::vector<RegistryKeySnapshot::Key>& keys) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    RegistryKeySnapshot::Key snapshot{path, {}};
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &dataSize) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(dataSize);
        nameSize = sizeof name;
        RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize);
        data.resize(dataSize);
        snapshot.Values.push_back({name, type, data});
    }
    keys.push_back(snapshot);
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children)
        SnapshotKey(path + "\\" + child, keys);
}

} // namespace

std::string WindowsPath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

std::string ScreenSaverPath() {
    return WindowsPath(LM_SCREENSAVER_UNIX_PATH);
}

std::string ScratchFolder(const std::string& name) {
    const std::string folder = WindowsPath(std::string(LM_TEST_BINARY_DIR) + "/" + name);
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return folder;
}

bool CopyScreenSaverInto(const std::string& folder, const std::string& name) {
    return CopyInto(LM_SCREENSAVER_UNIX_PATH, folder, name);
}

bool CopyInto(const std::string& source, const std::string& folder, const std::string& name) {
    return CopyFileA(WindowsPath(source).c_str(), (folder + "\\" + name).c_str(), FALSE) != FALSE;
}

void Pump(DWORD milliseconds) {
    WaitUntil([] { return false; }, milliseconds);
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

Process::Process(const std::string& program, const std::string& arguments, bool quiet) {
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    HANDLE nul = INVALID_HANDLE_VALUE;
    if (quiet) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inheritable, OPEN_EXISTING, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    }
    PROCESS_INFORMATION information{};
    const BOOL created =
        CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, quiet ? TRUE : FALSE, 0,
                       nullptr, nullptr, &startup, &information);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (created) {
        CloseHandle(information.hThread);
        process_ = information.hProcess;
        id_ = information.dwProcessId;
    }
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

DWORD RunToEnd(const std::string& arguments, DWORD milliseconds, bool* sawWindow) {
    Process saver(ScreenSaverPath(), arguments);
    if (!saver.Started()) return ~0u;
    bool seen = false;
    const bool ended = WaitUntil(
        [&] {
            seen = seen || HasSaverWindow(saver.Id());
            return !saver.Running();
        },
        milliseconds);
    if (sawWindow != nullptr) *sawWindow = seen;
    return ended ? saver.ExitCode() : ~0u;
}

HWND FindSaverWindow(const char* title, HWND parent, DWORD processId, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindNow(title, parent, processId)) != nullptr; }, milliseconds);
    return found;
}

bool HasSaverWindow(DWORD processId, HWND parent) {
    return FindNow(nullptr, parent, processId) != nullptr;
}

TestWindow::TestWindow(int x, int y, int width, int height, COLORREF colour, DWORD style) {
    RegisterTestClass();
    window_ = CreateWindowExA(0, "LanternmoorTestWindow", "Lanternmoor test window", style, x, y,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window_ == nullptr) return;
    SetWindowLongPtrA(window_, 0, static_cast<LONG_PTR>(colour));
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
    InvalidateRect(window_, nullptr, TRUE);
    Pump(50);
}

TestWindow::~TestWindow() {
    Destroy();
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

void SendKey(WORD virtualKey) {
    SendInputs({KeyInput(virtualKey, 0), KeyInput(virtualKey, KEYEVENTF_KEYUP)});
}

void SendClick(DWORD downFlag, DWORD upFlag) {
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = downFlag;
    INPUT up = down;
    up.mi.dwFlags = upFlag;
    SendInputs({down, up});
}

void SendAltF4() {
    SendInputs({KeyInput(VK_MENU, 0), KeyInput(VK_F4, 0), KeyInput(VK_F4, KEYEVENTF_KEYUP),
                KeyInput(VK_MENU, KEYEVENTF_KEYUP)});
}

RegistryKeySnapshot::RegistryKeySnapshot(std::string path) : path_(std::move(path)) {
    SnapshotKey(path_, keys_);
    existed_ = !keys_.empty();
}

RegistryKeySnapshot::~RegistryKeySnapshot() {
    DeleteKeyTree(path_);
    for (const Key& key : keys_) {
        HKEY created = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &created, nullptr) != ERROR_SUCCESS)
            continue;
        for (const Value& value : key.Values)
            RegSetValueExA(created, value.Name.c_str(), 0, value.Type, value.Data.data(),
                           static_cast<DWORD>(value.Data.size()));
        RegCloseKey(created);
    }
}

void DeleteKeyTree(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children)
        DeleteKeyTree(path + "\\" + child);
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

bool SetValue(const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool written = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                        size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool SetDword(const std::string& path, const std::string& name, DWORD value) {
    return SetValue(path, name, REG_DWORD, &value, sizeof value);
}

bool SetString(const std::string& path, const std::string& name, const std::string& value) {
    return SetValue(path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool GetValue(const std::string& path, const std::string& name, DWORD& type,
              std::vector<BYTE>& data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool found =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (found) {
        data.resize(size);
        found = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) ==
                ERROR_SUCCESS;
        data.resize(size);
    }
    RegCloseKey(key);
    return found;
}

std::vector<std::string> ValueNames(const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace harness
