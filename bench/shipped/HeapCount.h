// Counts the bytes the process holds on the heap (native 32-bit Linux build: malloc, calloc,
// realloc and free are wrapped around glibc's own). Usable sizes, so a little above the requests.
#pragma once

long long HeapInUse();
// The most held since the last reset.
long long HeapPeak();
void ResetHeapPeak();
