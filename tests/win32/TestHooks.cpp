// Stands in for the Windows 95/98 password libraries: built as "password.cpl" and as "mpr.dll".
// Every load, call and unload is appended to the file named by LM_HOOK_LOG, so the test can see
// what the screen saver did. The password check refuses the first time and accepts afterwards.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void Log(const char* line) {
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LM_HOOK_LOG", path, sizeof path) == 0) return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", line);
        std::fclose(file);
    }
}

int CountLines(const char* prefix) {
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LM_HOOK_LOG", path, sizeof path) == 0) return 0;
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) return 0;
    int count = 0;
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, prefix, std::strlen(prefix)) == 0) ++count;
    }
    std::fclose(file);
    return count;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Log("attach");
    if (reason == DLL_PROCESS_DETACH) Log("detach");
    return TRUE;
}

extern "C" __attribute__((dllexport)) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    const bool refuse = CountLines("verify") == 0;
    char line[64];
    std::snprintf(line, sizeof line, "verify %lu",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    Log(line);
    return refuse ? FALSE : TRUE;
}

extern "C" __attribute__((dllexport)) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent,
                                                                      DWORD reserved1,
                                                                      DWORD reserved2) {
    char line[128];
    std::snprintf(line, sizeof line, "change %s %lu %lu %lu", provider != nullptr ? provider : "?",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)),
                  static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
    Log(line);
    return 0;
}
