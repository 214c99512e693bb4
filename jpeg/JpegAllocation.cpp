#include "jpeg/JpegAllocation.h"

#include "jpeg/JpegError.h"

#include <cstdlib>

namespace {

class ProcessHeap final : public JpegHeap {
public:
    void* allocateZeroed(size_t bytes) override { return std::calloc(1, bytes); }
    void release(void* block) override { std::free(block); }
};

} // namespace

void jpegFail(int code) {
    throw JpegFailure{code};
}

JpegHeap& jpegProcessHeap() {
    static ProcessHeap heap;
    return heap;
}

void JpegAllocationTable::useHeap(JpegHeap* heap) {
    releaseAll();
    heap_ = heap;
}

void* JpegAllocationTable::allocate(size_t bytes) {
    int slot = 0;
    while (slot < kSlots && slots_[slot])
        ++slot;
    if (slot == kSlots) jpegFail(NoFreeSlot);
    JpegHeap& heap = heap_ ? *heap_ : jpegProcessHeap();
    void* raw = heap.allocateZeroed(bytes + 8);
    if (!raw) jpegFail(OutOfMemory);
    slots_[slot] = raw;
    return reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(raw) + 7) & ~uintptr_t(7));
}

void JpegAllocationTable::releaseAll() {
    JpegHeap& heap = heap_ ? *heap_ : jpegProcessHeap();
    for (void*& slot : slots_) {
        if (slot) heap.release(slot);
        slot = nullptr;
    }
}

int JpegAllocationTable::count() const {
    int n = 0;
    for (void* slot : slots_)
        if (slot) ++n;
    return n;
}
