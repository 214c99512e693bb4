#include "shell/RunModes_win32.h"

#include "base/MessageLoop_win32.h"
#include "settings/Configuration_win32.h"
#include "settings/RegistrySettingsStore_win32.h"
#include "shell/ApplicationModule_win32.h"
#include "shell/PasswordHooks_win32.h"
#include "shell/SlideshowWindow_win32.h"

namespace {

HWND ToWindow(WindowValue value) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
}

WindowValue FromWindow(HWND window) {
    return static_cast<WindowValue>(reinterpret_cast<UINT_PTR>(window));
}

void SetScreenSaverRunning(bool running) {
    UINT previous = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, &previous, 0);
}

// Holds the system's screen-saver-running flag set for one scope. Unwinding clears it; so does a
// fault that nothing handles, before the process goes.
class ScreenSaverRunningFlag {
public:
    ScreenSaverRunningFlag() {
        SetScreenSaverRunning(true);
        PreviousFilter = SetUnhandledExceptionFilter(&ClearOnFault);
    }
    ScreenSaverRunningFlag(const ScreenSaverRunningFlag&) = delete;
    ScreenSaverRunningFlag& operator=(const ScreenSaverRunningFlag&) = delete;
    ~ScreenSaverRunningFlag() {
        SetUnhandledExceptionFilter(PreviousFilter);
        SetScreenSaverRunning(false);
    }

private:
    static LONG WINAPI ClearOnFault(EXCEPTION_POINTERS* exception) {
        SetScreenSaverRunning(false);
        return PreviousFilter != nullptr ? PreviousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
    }

    static LPTOP_LEVEL_EXCEPTION_FILTER PreviousFilter;
};

LPTOP_LEVEL_EXCEPTION_FILTER ScreenSaverRunningFlag::PreviousFilter = nullptr;

} // namespace

int RunFullScreen() {
    const ScreenSaverRunningFlag running;
    RegistrySettingsStore store;
    SlideshowWindow window(false, store);
    if (!window.CreateFullScreen()) return kNothingRun;
    MessageLoop(ApplicationModule::Current().MessageLoops()).Run();
    return 0;
}

int RunPreview(HWND parent) {
    RECT parentRect{};
    if (!GetWindowRect(parent, &parentRect)) return kNothingRun;
    RegistrySettingsStore store;
    SlideshowWindow window(true, store);
    if (!window.CreatePreview(parent, parentRect.right - parentRect.left,
                              parentRect.bottom - parentRect.top))
        return kNothingRun;
    MessageLoop(ApplicationModule::Current().MessageLoops()).Run();
    return 0;
}

std::size_t Win32TextRules::CharacterLength(const char* character) const {
    return static_cast<std::size_t>(CharNextA(character) - character);
}

bool Win32TextRules::IsSpace(const char* character, std::size_t length) const {
    WORD types[8] = {};
    if (length == 0 || length > sizeof types / sizeof types[0]) return false;
    if (!GetStringTypeExA(GetThreadLocale(), CT_CTYPE1, character, static_cast<int>(length), types))
        return false;
    return (types[0] & C1_SPACE) != 0;
}

void Win32TextRules::Lower(std::string& text) const {
    if (!text.empty()) CharLowerA(&text[0]);
}

bool Win32RunModes::IsWindow(WindowValue window) {
    return ::IsWindow(ToWindow(window)) != FALSE;
}

WindowValue Win32RunModes::ForegroundWindow() {
    return FromWindow(GetForegroundWindow());
}

int Win32RunModes::RunFullScreen() {
    return ::RunFullScreen();
}

int Win32RunModes::RunPreview(WindowValue parent) {
    return ::RunPreview(ToWindow(parent));
}

int Win32RunModes::RunConfiguration(WindowValue owner) {
    return ::RunConfiguration(ApplicationModule::Current().Instance(), ToWindow(owner));
}

int Win32RunModes::ChangePassword(WindowValue parent) {
    return ::ChangePassword(ToWindow(parent));
}
