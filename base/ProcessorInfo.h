// What the processor offers to the packed-integer code paths, read once.
#pragma once

struct ProcessorInfo {
    // CPUID function 1, EDX bit 23: the MMX instructions exist.
    bool HasMmx = false;
    // CPUID function 1, EDX bit 26, and the system keeps the SSE registers of each thread: the
    // packed paths may run their SSE2 kernels (eight 16-bit lanes where MMX has four), whose
    // pixels are those of the MMX ones.
    bool HasSse2 = false;
};

// The record of this process, read on the first call (static initialisers may call it too).
const ProcessorInfo& processorInfo();

// Tests only: with mmxOnly the record says no SSE2 from now on, so that the MMX kernels (the
// portable lane code natively) run on a processor that has SSE2; false restores what the
// processor says.
void UseMmxKernelsOnlyForTests(bool mmxOnly);
