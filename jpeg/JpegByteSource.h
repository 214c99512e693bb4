// The byte source under all parsing: the stream read in blocks of up to 4096 bytes into a buffer
// with a margin in front for bytes pushed back, and past the end an endless FF D9 FF D9 ...
#pragma once

#include "jpeg/JpegInputStream.h"

#include <cstdint>

class JpegByteSource {
public:
    static constexpr int kBufferSize = 4096;
    // Room in front of a freshly filled buffer for the bytes a reader hands back.
    static constexpr int kPushBackMargin = 128;

    // Starts reading `stream`: attaches it and fills the buffer (StreamReadFailed for a missing
    // stream or a failed read).
    void start(JpegInputStream* stream);
    // Stops using the stream: detaches it once; later fills fail.
    void detach();

    uint8_t next() {
        if (pos_ < end_) return buffer_[pos_++];
        bool synthetic;
        return nextSlow(synthetic);
    }
    // The next byte, refilling when the buffer is used up; synthetic: an FF or D9 of the
    // exhausted source.
    uint8_t nextSlow(bool& synthetic);
    // Puts a byte back in front of the read position.
    void pushBack(uint8_t byte);
    // Entropy-coded data: FF 00 is FF; a marker is left in place and reads as FF for as long as
    // the reader asks.
    uint8_t entropyByte() {
        // Most bytes are neither FF nor the last one buffered.
        if (pos_ + 1 < end_ && buffer_[pos_] != 0xFF) return buffer_[pos_++];
        return entropyByteSlow();
    }
    // Big-endian 16 bits.
    int read16() {
        int high = next();
        return (high << 8) | next();
    }
    void skip(long count);

    // The buffered bytes not yet read, for readers that take several at once.
    const uint8_t* unread() const { return buffer_ + pos_; }
    int available() const { return end_ - pos_; }
    void advance(int count) { pos_ += count; }

    // Bytes read from the stream so far; after finish(), the bytes consumed.
    long totalBytes() const { return total_; }
    // The image is done: what is still buffered was never consumed.
    void finish() { total_ -= end_ - pos_; }

private:
    void refill();
    uint8_t entropyByteSlow();

    JpegInputStream* stream_ = nullptr;
    int pos_ = kPushBackMargin;
    int end_ = kPushBackMargin;
    bool endOfStream_ = false;
    bool nextSyntheticIsD9_ = false;
    long total_ = 0;
    // Bytes [pos_, end_) are unread.
    uint8_t buffer_[kPushBackMargin + kBufferSize];
};
