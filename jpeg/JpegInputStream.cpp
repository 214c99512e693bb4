#include "jpeg/JpegInputStream.h"

#include <cstring>

MemoryInputStream::MemoryInputStream(const void* data, size_t size)
    : next_(static_cast<const uint8_t*>(data)), remaining_(data ? size : 0) {}

int MemoryInputStream::read(uint8_t* buffer, int maxBytes, bool& endOfStream) {
    size_t n = maxBytes > 0 ? static_cast<size_t>(maxBytes) : 0;
    if (n > remaining_) n = remaining_;
    if (n > 0) std::memcpy(buffer, next_, n);
    next_ += n;
    remaining_ -= n;
    endOfStream = remaining_ == 0;
    return static_cast<int>(n);
}
