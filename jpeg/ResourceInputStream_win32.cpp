#include "jpeg/ResourceInputStream.h"

#include <windows.h>

#include <cstring>

bool ResourceInputStream::open(int resourceId) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resourceId & 0xFFFF), RT_RCDATA);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return false;
    remaining_ = static_cast<int32_t>(SizeofResource(nullptr, found));
    next_ = static_cast<const uint8_t*>(LockResource(loaded));
    if (!next_) remaining_ = 0;
    return next_ != nullptr;
}

int ResourceInputStream::read(uint8_t* buffer, int maxBytes, bool& endOfStream) {
    if (!next_) return -1;
    int n = remaining_ < maxBytes ? remaining_ : maxBytes;
    if (n < 0) n = 0;
    std::memcpy(buffer, next_, static_cast<size_t>(n));
    next_ += n;
    remaining_ -= n;
    endOfStream = remaining_ == 0;
    return n;
}
