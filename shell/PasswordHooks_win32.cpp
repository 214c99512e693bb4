#include "shell/PasswordHooks_win32.h"

#include "win32/Handles_win32.h"

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
    const LoadedLibrary library("password.cpl");
    if (!library) return 1;
    const auto verify = library.Find<VerifyScreenSavePwdFunction>("VerifyScreenSavePwd");
    if (verify == nullptr) return 1;
    return verify(window);
}

int ChangePassword(HWND parent) {
    const LoadedLibrary library("mpr.dll");
    if (!library) return 1;
    if (const auto change = library.Find<PwdChangePasswordFunction>("PwdChangePasswordA"))
        change("SCRSAVE", parent, 0, 0);
    return 0;
}
