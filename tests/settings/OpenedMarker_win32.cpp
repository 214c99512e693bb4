// Stands in for the browser when a link of the tests is opened: each start appends one line to
// the file of its own name plus ".log".
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH + 4] = {};
    lstrcpyA(path + GetModuleFileNameA(nullptr, path, MAX_PATH), ".log");
    FILE* log = std::fopen(path, "a");
    std::fputs("opened\n", log);
    return std::fclose(log);
}
