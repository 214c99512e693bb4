// Stands in for the Windows 95/98 password libraries: built as "password.cpl" and as "mpr.dll".
// Every load, call and unload is appended to the file named by LM_HOOK_LOG, so the test can see
// what the screen saver did. The password check refuses the first time in a process and accepts
// afterwards; the library is unloaded between requests, so the process environment remembers.
#include <windows.h>

#include <cstdio>

namespace {

template <typename... Values> void Log(const char* format, Values... values) {
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LM_HOOK_LOG", path, sizeof path) == 0) return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, format, values...);
        std::fclose(file);
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_PROCESS_DETACH)
        Log("%s\n", reason == DLL_PROCESS_ATTACH ? "attach" : "detach");
    return TRUE;
}

extern "C" __attribute__((dllexport)) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    Log("verify %u\n", reinterpret_cast<UINT_PTR>(window));
    const BOOL accept = GetEnvironmentVariableA("LM_HOOK_REFUSED", nullptr, 0) != 0;
    SetEnvironmentVariableA("LM_HOOK_REFUSED", "1");
    return accept;
}

extern "C" __attribute__((dllexport)) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent,
                                                                      DWORD reserved1,
                                                                      DWORD reserved2) {
    Log("change %s %u %lu %lu\n", provider != nullptr ? provider : "?",
        reinterpret_cast<UINT_PTR>(parent), static_cast<unsigned long>(reserved1),
        static_cast<unsigned long>(reserved2));
    return 0;
}
