// Y/Cb/Cr to R/G/B through fixed-point tables (JFIF constants, chroma centred at 127.5).
#pragma once

#include <cstdint>
#include <cstring>

struct JpegColourTables {
    int32_t redFromCr[256];
    int32_t blueFromCb[256];
    // Unshifted; greenFromCb carries the rounding term.
    int32_t greenFromCr[256];
    int32_t greenFromCb[256];
    // clamp[v + ClampOffset]: v limited to 0..255, for every v a conversion can produce.
    static constexpr int kClampOffset = 256;
    uint8_t clamp[768];
};

void buildJpegColourTables(JpegColourTables& tables);

// What one chroma pair adds to luma for R, G and B; the same for every pixel it covers.
struct JpegChromaOffsets {
    int red;
    int green;
    int blue;
};

inline JpegChromaOffsets jpegChromaOffsets(const JpegColourTables& t, int cb, int cr) {
    return {t.redFromCr[cr], (t.greenFromCb[cb] + t.greenFromCr[cr]) >> 16, t.blueFromCb[cb]};
}

// One pixel: R, G, B at out[0..2] and 0 at out[3].
inline void jpegStorePixel(const JpegColourTables& t, int y, const JpegChromaOffsets& c,
                           uint8_t* out) {
    const uint8_t* clamp = t.clamp + JpegColourTables::kClampOffset;
    uint32_t r = clamp[y + c.red], g = clamp[y + c.green], b = clamp[y + c.blue];
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint32_t pixel = r | (g << 8) | (b << 16);
    std::memcpy(out, &pixel, 4);
#else
    out[0] = static_cast<uint8_t>(r);
    out[1] = static_cast<uint8_t>(g);
    out[2] = static_cast<uint8_t>(b);
    out[3] = 0;
#endif
}

inline void jpegConvertPixel(const JpegColourTables& t, int y, int cb, int cr, uint8_t* out) {
    jpegStorePixel(t, y, jpegChromaOffsets(t, cb, cr), out);
}

// One MCU's share of one or two output lines: 8 chroma pairs, each covering h (1 or 2) luma
// samples across. Luma comes from an 8-sample left part and, with h = 2, an 8-sample right part
// of each luma row; row 1 and out1 may be null. Pixels as jpegStorePixel writes them.
struct JpegLumaRow {
    const uint8_t* left;
    const uint8_t* right;
    uint8_t* out;
};
void jpegConvertChromaRun(const JpegColourTables& t, const uint8_t* cb, const uint8_t* cr, int h,
                          const JpegLumaRow& row0, const JpegLumaRow& row1);
// The same one pixel at a time: the definition the packed version is tested against.
void jpegConvertChromaRunScalar(const JpegColourTables& t, const uint8_t* cb, const uint8_t* cr,
                                int h, const JpegLumaRow& row0, const JpegLumaRow& row1);

// What a converted pixel looks like: the decoder's lines (bytes R, G, B, 0) or the pixel buffer's
// 32-bit words 0x00RRGGBB (bytes B, G, R, 0 on a little-endian processor). The same conversion,
// only red and blue trade places.
enum class JpegOutput { Lines, Pixels };

// Where one output line (or a pair) comes from in the MCU-row sample buffer: every MCU holds its
// luma blocks, then Cb, then Cr (64 bytes each). The line's luma of an MCU starts `luma` bytes
// into it (with h = 2, the right-hand half 64 further); the second line of a pair is the next
// luma row, 8 further; its chroma row starts `chroma` bytes in, Cr 64 further.
struct JpegLineSource {
    const uint8_t* samples;
    int mcus;
    int mcuBytes;
    int h;
    int luma;
    int chroma;
};

// Converts whole MCUs into line0 (and, when line1 is not null, the next luma row into line1):
// the pixels jpegConvertChromaRun writes, MCU after MCU.
void jpegConvertLine(const JpegColourTables& t, const JpegLineSource& source, uint8_t* line0,
                     uint8_t* line1, JpegOutput output = JpegOutput::Lines);
#if LANTERNMOOR_HAVE_MMX
// The same in MMX registers (the packed path), from the tables' closed forms; leaves the MMX
// state empty.
void jpegConvertLineMmx(const JpegLineSource& source, uint8_t* line0, uint8_t* line1,
                        JpegOutput output = JpegOutput::Lines);
#endif
#if LANTERNMOOR_HAVE_SSE2
// The same in SSE2 registers, eight chroma pairs at a time; and one chroma run likewise.
void jpegConvertLineSse2(const JpegLineSource& source, uint8_t* line0, uint8_t* line1,
                         JpegOutput output = JpegOutput::Lines);
void jpegConvertChromaRunSse2(const uint8_t* cb, const uint8_t* cr, int h, const JpegLumaRow& row0,
                              const JpegLumaRow& row1);
#endif

// The same lines for components coded as R, G and B: the first component gives red, the other
// two green and blue, each passed through unchanged.
void jpegPassRgbLine(const JpegLineSource& source, uint8_t* line0, uint8_t* line1,
                     JpegOutput output = JpegOutput::Lines);
// Greyscale: row `row` (0..7) of `mcus` consecutive blocks, one byte per sample (Lines) or the
// sample in red, green and blue (Pixels).
void jpegGreyLine(const uint8_t* samples, int row, int mcus, uint8_t* line,
                  JpegOutput output = JpegOutput::Lines);
