// The marker codes the decoder tells apart (ITU-T T.81 Table B.1): the byte after FF.
#pragma once

enum JpegMarker : int {
    TEM = 0x01,
    SOF0 = 0xC0, // baseline
    SOF1 = 0xC1, // extended sequential
    SOF2 = 0xC2, // progressive
    SOF3 = 0xC3, // lossless
    DHT = 0xC4,
    SOF5 = 0xC5,
    SOF6 = 0xC6,
    SOF7 = 0xC7,
    JPG = 0xC8,
    SOF9 = 0xC9, // arithmetic-coded sequential
    SOF10 = 0xCA,
    SOF11 = 0xCB,
    DAC = 0xCC,
    SOF13 = 0xCD,
    SOF14 = 0xCE,
    SOF15 = 0xCF,
    RST0 = 0xD0,
    RST7 = 0xD7,
    SOI = 0xD8,
    EOI = 0xD9,
    SOS = 0xDA,
    DQT = 0xDB,
    DRI = 0xDD,
    APP0 = 0xE0,  // JFIF
    APP14 = 0xEE, // Adobe
    COM = 0xFE,
};

// RST0 .. RST7.
inline bool isRestartMarker(int code) {
    return code >= RST0 && code <= RST7;
}
