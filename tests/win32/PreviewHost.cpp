// A stand-in for the Display Properties dialog, run as a process of its own (not the test
// program): it starts the screen saver's preview in a window of its own again and again, destroys
// that window each time as the dialog does, and times the saver's end from the moment DestroyWindow
// returns (under Wine that call waits about 2 s for any child of another process).
//   preview_host.exe SCREENSAVER STARTS
// Prints one line per start and a summary; exits 0 when every preview showed in its window and
// ended with exit code 0 within a second, 1 otherwise.
#include "tests/win32/WineHarness.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace harness;

namespace {

// One start; false when anything went wrong. `closeMillis` is the time from the parent's end to
// the saver's.
bool RunOnce(const std::string& saver, int number, DWORD& closeMillis) {
    const HWND parent =
        CreateWindowExA(0, "static", "preview area", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                        152, 112, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Process process(saver, "/p " + HandleText(parent));
    const HWND child = FindWindowOf(process.Id(), "SlideshowScreenSaverClass", nullptr, parent);
    Pump(100); // the first picture's step under way
    DestroyWindow(parent);
    const DWORD destroyed = GetTickCount();
    const bool ended = process.WaitForExit(5000);
    closeMillis = GetTickCount() - destroyed;
    const DWORD code = process.ExitCode();
    const bool good = child != nullptr && ended && code == 0 && closeMillis <= 1000;
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
