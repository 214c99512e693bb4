// One run of the decoder's whole public call sequence that checks, on the way, every promise the
// decoder makes for any input. The fuzz target and the decoder tests share it.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct DecoderRun {
    // The variants to run; the heap is the run's own, which counts and can refuse blocks.
    JpegDecoderOptions options;
    // This read of the stream (counting from 0) fails; this allocation (from 1) is refused.
    int failingRead = -1;
    int refusedAllocation = 0;
    // Frames of more pixels are only parsed (0: no limit).
    long parseOnlyAbove = 0;
    // Receives every line delivered: its row, bytes and length.
    std::function<void(int, const uint8_t*, int)> onLine;
    // Told of every broken promise.
    void (*broken)(const char* what) = nullptr;

    // What the calls gave.
    int errorAfterBegin = 0, beginDecodingResult = 0, lastDecodeResult = 0, errorCode = 0;
    int width = 0, height = 0, bytesPerPixel = 0, lines = 0;
    long bytesConsumed = 0;
    bool progressive = false;
    // Every block the heap handed out, and the most bytes held at once.
    std::vector<size_t> allocations;
    size_t peakHeap = 0;
    bool complete() const { return lastDecodeResult == 1; }

    // begin, beginDecoding, every decode and releaseAll (twice), expecting on the way: no line
    // before beginDecoding, a second beginDecoding that changes nothing, one or three components
    // as the bytes per pixel say, lines of width x bytes per pixel with a zero pad byte, height
    // lines and then 1 again, or a negative code and then -1; no allocation after beginDecoding,
    // every heap block in the allocation table, nothing owned after a failure or after
    // releaseAll; the stream read only while attached, attached and detached once, and no more
    // bytes consumed than it delivered.
    void run(JpegInputStream& source);
};
