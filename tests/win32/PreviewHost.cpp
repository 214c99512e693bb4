// A stand-in for the Display Properties dialog, run as a process of its own (not the test
// program): it starts the screen saver's preview in a window of its own again and again, destroys
// that window each time as the dialog does, and times the saver's end from the moment DestroyWindow
// returns (under Wine that call waits about 2 s for any child of another process).
//   preview_host.exe SCREENSAVER STARTS
// Prints one line per start and a summary; exits 0 when every preview showed in its window and
// ended with exit code 0 within a second, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

// One start; false when anything went wrong. `closeMillis` is the time from the parent's end to
// the saver's.
bool RunOnce(const std::string& saver, int number, DWORD& closeMillis) {
    const HWND parent =
        CreateWindowExA(0, "static", "preview area", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                        152, 112, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    std::string command =
        "\"" + saver + "\" /p " + std::to_string(reinterpret_cast<UINT_PTR>(parent));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(saver.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        DestroyWindow(parent);
        std::printf("start %d: cannot start the saver\n", number);
        return false;
    }
    CloseHandle(process.hThread);
    HWND child = nullptr;
    for (const DWORD start = GetTickCount(); child == nullptr && GetTickCount() - start < 10000;) {
        Pump(10);
        child = FindWindowExA(parent, nullptr, "SlideshowScreenSaverClass", nullptr);
    }
    Pump(100); // the first picture's step under way
    DestroyWindow(parent);
    const DWORD destroyed = GetTickCount();
    DWORD wait = WAIT_TIMEOUT;
    while (wait == WAIT_TIMEOUT && GetTickCount() - destroyed < 5000) {
        wait = WaitForSingleObject(process.hProcess, 0);
        if (wait == WAIT_TIMEOUT) Pump(2);
    }
    closeMillis = GetTickCount() - destroyed;
    DWORD code = 99;
    if (wait != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    const bool good = child != nullptr && wait == WAIT_OBJECT_0 && code == 0 && closeMillis <= 1000;
    std::printf("start %d: %s, ended %lu ms after its parent, exit %lu%s\n", number,
                child != nullptr ? "shown" : "NOT SHOWN", closeMillis, code, good ? "" : " FAILED");
    return good;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: preview_host SCREENSAVER STARTS\n");
        return 2;
    }
    const int starts = std::atoi(argv[2]);
    int failed = 0;
    DWORD longest = 0, total = 0;
    for (int number = 1; number <= starts; ++number) {
        DWORD closeMillis = 0;
        if (!RunOnce(argv[1], number, closeMillis)) ++failed;
        longest = closeMillis > longest ? closeMillis : longest;
        total += closeMillis;
        std::fflush(stdout);
    }
    std::printf("%d starts, %d failed; ended after the parent in %lu ms at most, %lu on average\n",
                starts, failed, longest, starts > 0 ? total / static_cast<DWORD>(starts) : 0);
    return failed == 0 ? 0 : 1;
}
