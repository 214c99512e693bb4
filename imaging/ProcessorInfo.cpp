#include "imaging/ProcessorInfo.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

ProcessorInfo readProcessorInfo() {
    ProcessorInfo info;
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    // __get_cpuid also checks that the CPUID instruction exists (not on every 486).
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) info.hasMmx = ((edx >> 23) & 1) != 0;
#endif
    return info;
}

} // namespace

const ProcessorInfo& processorInfo() {
    // Read on first use: a static initialiser elsewhere may ask before this file's would run.
    static const ProcessorInfo info = readProcessorInfo();
    return info;
}
