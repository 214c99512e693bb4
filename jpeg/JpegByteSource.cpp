#include "jpeg/JpegByteSource.h"

#include "jpeg/JpegAllocation.h"
#include "jpeg/JpegError.h"

void JpegByteSource::start(JpegInputStream* stream) {
    stream_ = stream;
    pos_ = end_ = kPushBackMargin;
    endOfStream_ = false;
    nextSyntheticIsD9_ = false;
    total_ = 0;
    if (!stream_) jpegFail(StreamReadFailed);
    stream_->attach();
    refill();
}

void JpegByteSource::detach() {
    // Forgotten before detach() runs, so the stream is detached once whatever detach() does.
    if (JpegInputStream* stream = stream_) {
        stream_ = nullptr;
        stream->detach();
    }
}

void JpegByteSource::refill() {
    pos_ = end_ = kPushBackMargin;
    if (endOfStream_) return;
    const int limit = kPushBackMargin + kBufferSize;
    while (end_ < limit && !endOfStream_) {
        bool endOfStream = false;
        int n = stream_ ? stream_->read(buffer_ + end_, limit - end_, endOfStream) : -1;
        if (n < 0) jpegFail(StreamReadFailed);
        if (n > limit - end_) n = limit - end_; // a stream that overstates its count
        end_ += n;
        if (endOfStream) endOfStream_ = true;
    }
    total_ += end_ - kPushBackMargin;
}

uint8_t JpegByteSource::nextSlow(bool& synthetic) {
    if (pos_ >= end_) refill();
    if (pos_ < end_) {
        synthetic = false;
        return buffer_[pos_++];
    }
    // The source is exhausted: an endless FF D9 FF D9 ..., which reads as EOI markers.
    synthetic = true;
    uint8_t byte = nextSyntheticIsD9_ ? 0xD9 : 0xFF;
    nextSyntheticIsD9_ = !nextSyntheticIsD9_;
    return byte;
}

void JpegByteSource::pushBack(uint8_t byte) {
    // At most two bytes are ever pushed back in front of a fresh buffer.
    if (pos_ == 0) jpegFail(CorruptScan);
    buffer_[--pos_] = byte;
}

uint8_t JpegByteSource::entropyByteSlow() {
    bool synthetic;
    uint8_t byte = nextSlow(synthetic);
    if (synthetic || byte != 0xFF) return byte;
    uint8_t next = nextSlow(synthetic);
    if (synthetic) {
        pushBack(0xFF);
    } else if (next != 0x00) {
        // A marker: leave it in place and feed one-bits until the scan is complete.
        pushBack(next);
        pushBack(0xFF);
    }
    return 0xFF;
}

void JpegByteSource::skip(long count) {
    while (count > 0) {
        long left = end_ - pos_;
        if (left > 0) {
            long n = left < count ? left : count;
            pos_ += static_cast<int>(n);
            count -= n;
        } else {
            next();
            --count;
        }
    }
}
