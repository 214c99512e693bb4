// The byte source a JpegDecoder reads from, and the in-memory stream of the portable core.
#pragma once

#include <cstddef>
#include <cstdint>

class JpegInputStream {
public:
    virtual ~JpegInputStream() = default;
    // Copies up to maxBytes bytes into buffer; returns the count (0 allowed) or -1 on a read
    // failure. Sets endOfStream when no further bytes will come.
    virtual int read(uint8_t* buffer, int maxBytes, bool& endOfStream) = 0;
    // Called once by JpegDecoder::begin before the first read.
    virtual void attach() {}
    // Called once when the decoder stops using the stream (on an error, or from releaseAll).
    virtual void detach() {}
};

// Reads from a block of memory the caller keeps alive; the tools, tests and benchmarks use it.
class MemoryInputStream : public JpegInputStream {
public:
    MemoryInputStream(const void* data, size_t size);
    int read(uint8_t* buffer, int maxBytes, bool& endOfStream) override;

private:
    const uint8_t* next_;
    size_t remaining_;
};
