#include "jpeg/JpegError.h"

const char* jpegErrorName(int code) {
    switch (code) {
#define LM_JPEG_ERROR_NAME(name, value)                                                            \
    case name:                                                                                     \
        return #name;
        LM_JPEG_ERRORS(LM_JPEG_ERROR_NAME)
#undef LM_JPEG_ERROR_NAME
    }
    return nullptr;
}
