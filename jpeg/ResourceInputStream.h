// Reads a JPEG picture stored as an RT_RCDATA resource of the running module (Windows only).
#pragma once

#include "jpeg/JpegInputStream.h"

#include <cstdint>

class ResourceInputStream : public JpegInputStream {
public:
    ResourceInputStream() = default;
    // Looks the resource up by the low 16 bits of resourceId; false (and still unopened) when
    // the module has no such RT_RCDATA resource. Resource memory is never freed.
    bool open(int resourceId);
    // -1 while unopened, so that the decoder fails with StreamReadFailed.
    int read(uint8_t* buffer, int maxBytes, bool& endOfStream) override;
    // The bytes not read yet (all of the resource before the decoder starts); null while
    // unopened. The show reads the picture's EXIF orientation from them.
    const uint8_t* unreadBytes() const { return next_; }
    size_t unreadCount() const { return next_ != nullptr ? static_cast<size_t>(remaining_) : 0; }

private:
    const uint8_t* next_ = nullptr;
    int32_t remaining_ = 0;
};
