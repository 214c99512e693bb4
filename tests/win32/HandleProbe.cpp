// Linked into the diagnostic builds of the screen saver only (never into Lanternmoor.scr): the
// show's hook, which records the live handle counts after every step, and a thread of its own
// with a message-only window that reports them, the show's completed steps and the process's
// private memory to a test in another process.
#include "tests/win32/HandleProbe.h"

#include "slideshow/ShowHooks.h"
#include "win32/Handles_win32.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>

namespace {

// The steps the show has completed and the live handle counts as the last one left them, written
// on the show's thread and read on the probe's, so that the counts can be compared between steps
// however soon the next step follows.
struct ShowProgress {
    // Odd while the record is being written.
    std::atomic<unsigned long> Version{0};
    std::atomic<long> StepsDone{0};
    std::atomic<long> HandlesAfterStep[kHandleKinds]{};
} gShowProgress;

long gReading[probe::kFields];

// The memory the process has to itself: what the system charges it (the page-file usage, which
// Wine takes from the process's anonymous memory). The sum of the private regions of the address
// space stands in where the system answers nothing: under Wine it misses the pixels of the
// device bitmaps, which Wine keeps outside the regions VirtualQuery lists.
// (psapi.dll is loaded at run time: a screen saver imports only from the modules of Windows 95.)
long PrivateKb() {
    using GetMemoryInfo = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
    static const auto getMemoryInfo = reinterpret_cast<GetMemoryInfo>(reinterpret_cast<void (*)()>(
        GetProcAddress(LoadLibraryA("psapi.dll"), "GetProcessMemoryInfo")));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (getMemoryInfo != nullptr &&
        getMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) &&
        counters.PagefileUsage != 0)
        return static_cast<long>(counters.PagefileUsage / 1024);
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return static_cast<long>(total / 1024);
}

// The record of the last completed step, read while the show does not write it.
bool TakeReading() {
    for (int attempt = 0; attempt < 100; ++attempt, Sleep(1)) {
        const unsigned long version = gShowProgress.Version;
        if (version % 2 != 0) continue;
        long fields[probe::kFields];
        for (int kind = 0; kind < kHandleKinds; ++kind)
            fields[kind] = gShowProgress.HandlesAfterStep[kind];
        fields[probe::kSteps] = gShowProgress.StepsDone;
        if (gShowProgress.Version != version) continue;
        fields[probe::kPrivateKb] = PrivateKb();
        std::copy(fields, fields + probe::kFields, gReading);
        return true;
    }
    return false;
}

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == probe::kTakeReading) return TakeReading() ? 1 : 0;
    if (message == probe::kReadField) return wParam < probe::kFields ? gReading[wParam] : -1;
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI ProbeThread(void*) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &ProbeProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = probe::kClassName;
    RegisterClassA(&windowClass);
    CreateWindowExA(0, probe::kClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                    windowClass.hInstance, nullptr);
    for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;)
        DispatchMessageA(&message);
    return 0;
}

} // namespace

// The show's hook: this definition takes the place of the product's, which does nothing.
void AfterShowStep() {
    ++gShowProgress.Version;
    ++gShowProgress.StepsDone;
    for (int kind = 0; kind < kHandleKinds; ++kind)
        gShowProgress.HandlesAfterStep[kind] = LiveHandles(static_cast<HandleKind>(kind));
    ++gShowProgress.Version;
}

namespace {

// Started before WinMain; the process's end takes the thread with it.
[[maybe_unused]] const HANDLE gProbeThread =
    CreateThread(nullptr, 0, &ProbeThread, nullptr, 0, nullptr);

} // namespace
