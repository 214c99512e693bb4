// What the processor offers to the packed-integer code paths, read once at start-up.
#pragma once

struct ProcessorInfo {
    // CPUID function 1, EDX bit 23: the MMX instructions exist.
    bool hasMmx = false;
};

// The record of this process, filled during static initialisation.
const ProcessorInfo& processorInfo();
