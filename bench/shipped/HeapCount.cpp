#include "bench/shipped/HeapCount.h"

#include <cstddef>
#include <malloc.h>

extern "C" {
void* __libc_malloc(std::size_t bytes);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t bytes);
void __libc_free(void* block);
}

namespace {

// Single-threaded benchmark: plain counters.
long long inUse = 0;
long long peak = 0;

void Add(void* block) {
    if (block == nullptr) return;
    inUse += static_cast<long long>(malloc_usable_size(block));
    if (inUse > peak) peak = inUse;
}

void Remove(void* block) {
    if (block != nullptr) inUse -= static_cast<long long>(malloc_usable_size(block));
}

} // namespace

extern "C" {

void* malloc(std::size_t bytes) {
    void* block = __libc_malloc(bytes);
    Add(block);
    return block;
}

void* calloc(std::size_t count, std::size_t size) {
    void* block = __libc_calloc(count, size);
    Add(block);
    return block;
}

void* realloc(void* block, std::size_t bytes) {
    Remove(block);
    void* moved = __libc_realloc(block, bytes);
    Add(moved != nullptr || bytes == 0 ? moved : block);
    return moved;
}

void free(void* block) {
    Remove(block);
    __libc_free(block);
}

} // extern "C"

long long HeapInUse() {
    return inUse;
}

long long HeapPeak() {
    return peak;
}

void ResetHeapPeak() {
    peak = inUse;
}
