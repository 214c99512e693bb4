// Stands in for the browser when a link of the tests is opened: each start appends one line to
// the file of its own name plus ".log".
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH + 4] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    lstrcpyA(path + length, ".log");
    const HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(log, "opened\n", 7, &written, nullptr);
    CloseHandle(log);
    return 0;
}
