// Where the decoder's blocks come from, the one table that records them, and how a stage gives up.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the decoder's blocks come from. Tests substitute one that counts or refuses.
class JpegHeap {
public:
    // A zero-filled block, or null when the heap refuses.
    virtual void* allocateZeroed(size_t bytes) = 0;
    virtual void release(void* block) = 0;

protected:
    ~JpegHeap() = default;
};

// calloc and free.
JpegHeap& jpegProcessHeap();

// A stage met something it cannot go on with: the JpegError code travels to the public call,
// which records it and releases everything.
struct JpegFailure {
    int code;
};

// Not inline: the MMX and SSE2 files call it too, and no code of theirs may be shared.
[[noreturn]] void jpegFail(int code);

// Every block of a decoder, recorded in one table of fixed size. Blocks are never freed singly:
// releaseAll (or the table's end) frees them all at once.
class JpegAllocationTable {
public:
    static constexpr int kSlots = 100;

    JpegAllocationTable() = default;
    ~JpegAllocationTable() { releaseAll(); }
    JpegAllocationTable(const JpegAllocationTable&) = delete;
    JpegAllocationTable& operator=(const JpegAllocationTable&) = delete;

    // Releases what the table holds and takes the blocks to come from `heap` (null: the process
    // heap).
    void useHeap(JpegHeap* heap);
    // bytes zero-filled bytes at a multiple of 8, recorded in the first free slot; NoFreeSlot when
    // there is none, OutOfMemory when the heap refuses.
    void* allocate(size_t bytes);
    template <class T> T* allocateArray(size_t count) {
        return static_cast<T*>(allocate(count * sizeof(T)));
    }
    void releaseAll();
    // Blocks currently recorded.
    int count() const;

private:
    JpegHeap* heap_ = nullptr;
    void* slots_[kSlots] = {};
};
