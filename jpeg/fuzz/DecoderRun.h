// One run of the decoder's whole public call sequence that checks, on the way, every promise the
// decoder makes for any input. The fuzz target and the decoder tests share it.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

// The run is also the decoder's stream (forwarding to the source, counting attach, detach and
// the bytes delivered) and its heap (counting and recording blocks).
struct DecoderRun : JpegInputStream, JpegHeap {
    // The variants to run; the heap is the run itself.
    JpegDecoderOptions options;
    // This read of the stream (counting from 0) fails; this allocation (from 1) is refused.
    int failingRead = -1, refusedAllocation = 0;
    // Frames of more pixels are only parsed (0: no limit).
    long parseOnlyAbove = 0;
    // Told of every broken promise.
    void (*broken)(const char* what) = nullptr;

    // What the calls gave; the pixels row by row as R,G,B or grey, without the pad byte.
    int errorAfterBegin = 0, beginDecodingResult = 0, lastDecodeResult = 0, errorCode = 0;
    int width = 0, height = 0, lines = 0;
    long bytesConsumed = 0;
    bool progressive = false;
    std::vector<uint8_t> pixels;
    // The size of every block the heap handed out (all of them held until releaseAll).
    std::vector<size_t> allocations;
    bool complete() const { return lastDecodeResult == 1; }

    // begin, beginDecoding, every decode and releaseAll (twice), expecting on the way: no line
    // before beginDecoding, a second beginDecoding that changes nothing, one or three components
    // as the bytes per pixel say, lines of width x bytes per pixel with a zero pad byte, height
    // lines and then 1 again, or a negative code and then -1; no allocation after beginDecoding,
    // every heap block in the allocation table, nothing owned after a failure or after
    // releaseAll; the stream read only while attached, attached and detached once, and no more
    // bytes consumed than it delivered.
    void run(JpegInputStream& source);

    int read(uint8_t* buffer, int maxBytes, bool& endOfStream) override {
        if (attaches_ != 1 || detaches_ != 0) broken("a read outside attach and detach");
        if (reads_++ == failingRead) return -1;
        const int n = source_->read(buffer, maxBytes, endOfStream);
        delivered_ += n > 0 ? n : 0;
        return n;
    }
    void attach() override { source_->attach(), ++attaches_; }
    void detach() override { source_->detach(), ++detaches_; }
    void* allocateZeroed(size_t bytes) override {
        if (++allocationCalls_ == refusedAllocation) return nullptr;
        allocations.push_back(bytes);
        return *held_.insert(std::calloc(1, bytes)).first;
    }
    void release(void* block) override {
        if (held_.erase(block) == 0) return broken("a block released twice or never given");
        std::free(block);
    }

private:
    JpegInputStream* source_ = nullptr;
    int reads_ = 0, attaches_ = 0, detaches_ = 0, allocationCalls_ = 0;
    long delivered_ = 0;
    std::set<void*> held_;
};
