#include "jpeg/JpegError.h"

const char* jpegErrorName(int code) {
    switch (code) {
#define LM_JPEG_ERROR_NAME(name)                                                                   \
    case name:                                                                                     \
        return #name;
        LM_JPEG_ERROR_NAME(DhtCountsTooLarge)
        LM_JPEG_ERROR_NAME(DhtBadIndex)
        LM_JPEG_ERROR_NAME(DhtBadLength)
        LM_JPEG_ERROR_NAME(DqtBadLength)
        LM_JPEG_ERROR_NAME(DqtBadIndex)
        LM_JPEG_ERROR_NAME(BadPrecision)
        LM_JPEG_ERROR_NAME(BadHeight)
        LM_JPEG_ERROR_NAME(BadWidth)
        LM_JPEG_ERROR_NAME(TooManyComponents)
        LM_JPEG_ERROR_NAME(SofBadLength)
        LM_JPEG_ERROR_NAME(MarkerBadLength)
        LM_JPEG_ERROR_NAME(DriBadLength)
        LM_JPEG_ERROR_NAME(SosBadLength)
        LM_JPEG_ERROR_NAME(SosBadComponent)
        LM_JPEG_ERROR_NAME(ArithmeticCoding)
        LM_JPEG_ERROR_NAME(UnexpectedMarker)
        LM_JPEG_ERROR_NAME(NoStartOfImage)
        LM_JPEG_ERROR_NAME(UnsupportedFrame)
        LM_JPEG_ERROR_NAME(DqtTruncated)
        LM_JPEG_ERROR_NAME(NoFreeSlot)
        LM_JPEG_ERROR_NAME(QuantTableMissing)
        LM_JPEG_ERROR_NAME(HuffTableMissing)
        LM_JPEG_ERROR_NAME(UnsupportedComponents)
        LM_JPEG_ERROR_NAME(UnsupportedSampling)
        LM_JPEG_ERROR_NAME(CorruptScan)
        LM_JPEG_ERROR_NAME(BadRestartMarker)
        LM_JPEG_ERROR_NAME(TooManyBlocks)
        LM_JPEG_ERROR_NAME(BadSpectralSelection)
        LM_JPEG_ERROR_NAME(BadSuccessiveApproximation)
        LM_JPEG_ERROR_NAME(StreamReadFailed)
        LM_JPEG_ERROR_NAME(OutOfMemory)
#undef LM_JPEG_ERROR_NAME
    }
    return nullptr;
}
