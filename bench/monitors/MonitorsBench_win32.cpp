// One step of the show timed under Wine on the monitors the display has now: the diagnostic build
// LanternmoorSoak.scr full screen (its handle probe counts the steps), Page Down sent and the time
// taken until the probe reports the step done, over two laps of the 17 pictures, with transitions
// off (a transition lasts EffectMillis however fast the step) and every other setting at its
// default; then the same with "EnlargeToFit" on, where every picture is resampled to the monitor.
// Prints the median, mean and slowest step and the saver's private memory after each lap.
//   monitors_bench.exe MONITORS
#include "tests/win32/HandleProbe.h"
#include "tests/win32/WineHarness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

using namespace harness;

namespace {

// One run: the step times in milliseconds and the memory after each lap.
bool Run(bool enlarge, std::vector<DWORD>& millis, std::vector<long>& memory) {
    const ShowSettings settings({{"ShowText", 1}, {"EnlargeToFit", enlarge ? 1u : 0u}});
    FullScreenRun run(WindowsPath(LM_SOAK_SCR));
    HWND probeWindow = nullptr;
    if (!WaitUntil([&] { return (probeWindow = probe::Find(run.Saver.Id())) != nullptr; }, 10000))
        return false;
    probe::Reading reading;
    // The first picture, shown at once.
    if (!WaitUntil([&] { return probe::Read(probeWindow, reading) && reading.Steps == 1; }, 10000))
        return false;
    for (int step = 1; step <= 34; ++step) {
        const long done = reading.Steps;
        const DWORD start = GetTickCount();
        SendKeys({VK_NEXT});
        if (!WaitUntil([&] { return probe::Read(probeWindow, reading) && reading.Steps > done; },
                       10000))
            return false;
        millis.push_back(GetTickCount() - start);
        if (step % 17 == 0) memory.push_back(reading.PrivateKb);
        Pump(50);
    }
    Quit(run);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int monitors = argc > 1 ? std::atoi(argv[1]) : 1;
    // A Wine process may report the monitors it saw before for a moment.
    if (!WaitUntil([&] { return GetSystemMetrics(SM_CMONITORS) == monitors; }, 20000)) {
        std::printf("Wine reports %d monitors, not %d\n", GetSystemMetrics(SM_CMONITORS), monitors);
        return 1;
    }
    for (const bool enlarge : {false, true}) {
        std::vector<DWORD> millis;
        std::vector<long> memory;
        if (!Run(enlarge, millis, memory)) {
            std::printf("the saver did not step\n");
            return 1;
        }
        std::vector<DWORD> sorted = millis;
        std::sort(sorted.begin(), sorted.end());
        const double mean =
            std::accumulate(millis.begin(), millis.end(), 0.0) / static_cast<double>(millis.size());
        std::printf("%d x %dx%d, EnlargeToFit %s: step median %lu ms, mean %.0f ms, slowest %lu ms;"
                    " private memory after laps 1 and 2: %ld, %ld KB\n",
                    monitors, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                    enlarge ? "on" : "off", sorted[sorted.size() / 2], mean, sorted.back(),
                    memory[0], memory[1]);
    }
    return 0;
}
