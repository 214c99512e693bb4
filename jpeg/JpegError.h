// The decoder's error codes: negative numbers, stored in JpegDecoder::errorCode().
#pragma once

enum JpegError : int {
    DhtCountsTooLarge = -200,
    DhtBadIndex = -201,
    DhtBadLength = -202,
    DqtBadLength = -203,
    DqtBadIndex = -204,
    BadPrecision = -205,
    BadHeight = -206,
    BadWidth = -207,
    TooManyComponents = -208,
    SofBadLength = -209,
    MarkerBadLength = -210,
    DriBadLength = -211,
    SosBadLength = -212,
    SosBadComponent = -213,
    ArithmeticCoding = -215,
    UnexpectedMarker = -216,
    NoStartOfImage = -217,
    UnsupportedFrame = -218,
    DqtTruncated = -219,
    NoFreeSlot = -221,
    QuantTableMissing = -222,
    HuffTableMissing = -223,
    UnsupportedComponents = -225,
    UnsupportedSampling = -226,
    CorruptScan = -227,
    BadRestartMarker = -228,
    TooManyBlocks = -229,
    BadSpectralSelection = -230,
    BadSuccessiveApproximation = -231,
    StreamReadFailed = -232,
    OutOfMemory = -233,
};

// The enumerator's name ("ArithmeticCoding"), or null for a number that is no error code.
const char* jpegErrorName(int code);
