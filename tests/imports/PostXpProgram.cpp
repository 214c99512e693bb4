// A program made to fail every check of check-imports: Vista and Windows 8 calls, an API set, a
// secure CRT function, a module outside the system's own list, and Vista header versions (set at
// link time). It is never run.
#define _WIN32_WINNT 0x0602
#include <windows.h>

#include <shlwapi.h>
#include <stdlib.h>

int main() {
    SRWLOCK lock;
    InitializeSRWLock(&lock);
    char text[16];
    _itoa_s(static_cast<int>(GetTickCount64() & 0xff), text, sizeof text, 10);
    return PathFileExistsA(text);
}
