// The decoder's error codes: negative numbers, stored in JpegDecoder::errorCode().
#pragma once

// Every code once: X(name, value).
#define LM_JPEG_ERRORS(X)                                                                          \
    X(DhtCountsTooLarge, -200)                                                                     \
    X(DhtBadIndex, -201)                                                                           \
    X(DhtBadLength, -202)                                                                          \
    X(DqtBadLength, -203)                                                                          \
    X(DqtBadIndex, -204)                                                                           \
    X(BadPrecision, -205)                                                                          \
    X(BadHeight, -206)                                                                             \
    X(BadWidth, -207)                                                                              \
    X(TooManyComponents, -208)                                                                     \
    X(SofBadLength, -209)                                                                          \
    X(MarkerBadLength, -210)                                                                       \
    X(DriBadLength, -211)                                                                          \
    X(SosBadLength, -212)                                                                          \
    X(SosBadComponent, -213)                                                                       \
    X(ArithmeticCoding, -215)                                                                      \
    X(UnexpectedMarker, -216)                                                                      \
    X(NoStartOfImage, -217)                                                                        \
    X(UnsupportedFrame, -218)                                                                      \
    X(DqtTruncated, -219)                                                                          \
    X(NoFreeSlot, -221)                                                                            \
    X(QuantTableMissing, -222)                                                                     \
    X(HuffTableMissing, -223)                                                                      \
    X(UnsupportedComponents, -225)                                                                 \
    X(UnsupportedSampling, -226)                                                                   \
    X(CorruptScan, -227)                                                                           \
    X(BadRestartMarker, -228)                                                                      \
    X(TooManyBlocks, -229)                                                                         \
    X(BadSpectralSelection, -230)                                                                  \
    X(BadSuccessiveApproximation, -231)                                                            \
    X(StreamReadFailed, -232)                                                                      \
    X(OutOfMemory, -233)

enum JpegError : int {
#define LM_JPEG_ERROR_ENUMERATOR(name, value) name = (value),
    LM_JPEG_ERRORS(LM_JPEG_ERROR_ENUMERATOR)
#undef LM_JPEG_ERROR_ENUMERATOR
};

// The enumerator's name ("ArithmeticCoding"), or null for a number that is no error code.
const char* jpegErrorName(int code);
