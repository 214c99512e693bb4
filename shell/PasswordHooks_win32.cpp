#include "shell/PasswordHooks_win32.h"

#include "base/Handles_win32.h"

namespace {

using VerifyScreenSavePwdFunction = BOOL(WINAPI*)(HWND);
using PwdChangePasswordFunction = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

bool IsNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

} // namespace

int VerifyPassword(HWND window) {
    if (IsNtFamily()) return 1;
    // Loaded for each request and freed again: nothing is kept between close requests.
    const UniqueLibrary library = LoadLibraryNamed("password.cpl");
    if (!library) return 1;
    const auto verify =
        FindFunction<VerifyScreenSavePwdFunction>(library.Get(), "VerifyScreenSavePwd");
    if (verify == nullptr) return 1;
    return verify(window);
}

int ChangePassword(HWND parent) {
    const UniqueLibrary library = LoadLibraryNamed("mpr.dll");
    if (!library) return 1;
    if (const auto change =
            FindFunction<PwdChangePasswordFunction>(library.Get(), "PwdChangePasswordA"))
        change("SCRSAVE", parent, 0, 0);
    return 0;
}
