#include "base/ProcessorInfo.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

// Whether the system saves and restores the SSE registers (the Windows build asks the system; a
// Linux kernel always does).
bool SystemKeepsSseRegisters();

namespace {

ProcessorInfo readProcessorInfo() {
    ProcessorInfo info;
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    // __get_cpuid also checks that the CPUID instruction exists (not on every 486).
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        info.HasMmx = ((edx >> 23) & 1) != 0;
        info.HasSse2 = LANTERNMOOR_HAVE_SSE2 && ((edx >> 26) & 1) != 0 && SystemKeepsSseRegisters();
    }
#endif
    return info;
}

ProcessorInfo& record() {
    // Read on first use: a static initialiser elsewhere may ask before this file's would run.
    static ProcessorInfo info = readProcessorInfo();
    return info;
}

} // namespace

const ProcessorInfo& processorInfo() {
    return record();
}

void UseMmxKernelsOnlyForTests(bool mmxOnly) {
    record().HasSse2 = !mmxOnly && readProcessorInfo().HasSse2;
}

#if !defined(_WIN32)
bool SystemKeepsSseRegisters() {
    return true;
}
#endif
