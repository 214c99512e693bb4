// What the processor offers to the packed-integer code paths, read once.
#pragma once

struct ProcessorInfo {
    // CPUID function 1, EDX bit 23: the MMX instructions exist.
    bool hasMmx = false;
};

// The record of this process, read on the first call (static initialisers may call it too).
const ProcessorInfo& processorInfo();
