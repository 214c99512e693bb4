#include "jpeg/JpegColour.h"

#include <cstring>

void buildJpegColourTables(JpegColourTables& tables) {
    for (int i = 0; i < 256; ++i) {
        // k is twice the distance from 127.5, so the constants are half the JFIF ones.
        int32_t k = 2 * i - 255;
        tables.redFromCr[i] = (45941 * k + 32768) >> 16;
        tables.blueFromCb[i] = (58065 * k + 32768) >> 16;
        tables.greenFromCr[i] = -23401 * k;
        tables.greenFromCb[i] = -11277 * k + 32768;
    }
    // Luma 0..255 plus an offset within +-256 (the largest is Bcb at +-227).
    for (int v = -JpegColourTables::kClampOffset; v < 512; ++v)
        tables.clamp[v + JpegColourTables::kClampOffset] =
            static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

namespace {

inline void scalarRow(const JpegColourTables& t, const JpegChromaOffsets* c, int h,
                      const JpegLumaRow& row) {
    if (h == 1) {
        for (int x = 0; x < 8; ++x)
            jpegStorePixel(t, row.left[x], c[x], row.out + 4 * x);
        return;
    }
    for (int x = 0; x < 8; ++x) {
        const uint8_t* y = (x < 4 ? row.left : row.right) + ((2 * x) & 7);
        jpegStorePixel(t, y[0], c[x], row.out + 8 * x);
        jpegStorePixel(t, y[1], c[x], row.out + 8 * x + 4);
    }
}

} // namespace

void jpegConvertChromaRunScalar(const JpegColourTables& t, const uint8_t* cb, const uint8_t* cr,
                                int h, const JpegLumaRow& row0, const JpegLumaRow& row1) {
    JpegChromaOffsets c[8];
    for (int x = 0; x < 8; ++x)
        c[x] = jpegChromaOffsets(t, cb[x], cr[x]);
    scalarRow(t, c, h, row0);
    if (row1.out) scalarRow(t, c, h, row1);
}

namespace {

void rgbRow(const uint8_t* g, const uint8_t* b, int h, const JpegLumaRow& row, bool pixels) {
    for (int x = 0; x < 8 * h; ++x) {
        uint8_t* out = row.out + 4 * x;
        const uint8_t red = (x < 8 ? row.left : row.right)[x & 7];
        if (pixels) {
            const uint32_t pixel = (uint32_t(red) << 16) | (uint32_t(g[x / h]) << 8) | b[x / h];
            std::memcpy(out, &pixel, 4);
            continue;
        }
        out[0] = red;
        out[1] = g[x / h];
        out[2] = b[x / h];
        out[3] = 0;
    }
}

} // namespace

void jpegGreyLine(const uint8_t* samples, int row, int mcus, uint8_t* line, JpegOutput output) {
    const uint8_t* s = samples + 8 * row;
    if (output == JpegOutput::Lines) {
        for (int m = 0; m < mcus; ++m)
            std::memcpy(line + 8 * m, s + 64 * m, 8);
        return;
    }
    for (int m = 0; m < mcus; ++m, s += 64, line += 32)
        for (int x = 0; x < 8; ++x) {
            const uint32_t pixel = s[x] * 0x010101u;
            std::memcpy(line + 4 * x, &pixel, 4);
        }
}

void jpegPassRgbLine(const JpegLineSource& source, uint8_t* line0, uint8_t* line1,
                     JpegOutput output) {
    const bool pixels = output == JpegOutput::Pixels;
    const uint8_t* s = source.samples;
    const int step = 32 * source.h;
    for (int m = 0; m < source.mcus; ++m, s += source.mcuBytes, line0 += step) {
        const uint8_t* y = s + source.luma;
        const uint8_t* c = s + source.chroma;
        rgbRow(c, c + 64, source.h, {y, y + 64, line0}, pixels);
        if (line1) {
            rgbRow(c, c + 64, source.h, {y + 8, y + 72, line1}, pixels);
            line1 += step;
        }
    }
}

#if defined(__SSE2__)

// Natively SSE2 is always there: the closed forms in its lanes give exactly the tables' pixels.
void jpegConvertChromaRun(const JpegColourTables&, const uint8_t* cb, const uint8_t* cr, int h,
                          const JpegLumaRow& row0, const JpegLumaRow& row1) {
    jpegConvertChromaRunSse2(cb, cr, h, row0, row1);
}

void jpegConvertLine(const JpegColourTables&, const JpegLineSource& source, uint8_t* line0,
                     uint8_t* line1, JpegOutput output) {
    jpegConvertLineSse2(source, line0, line1, output);
}

#else

void jpegConvertChromaRun(const JpegColourTables& t, const uint8_t* cb, const uint8_t* cr, int h,
                          const JpegLumaRow& row0, const JpegLumaRow& row1) {
    jpegConvertChromaRunScalar(t, cb, cr, h, row0, row1);
}

namespace {

// clamp(v) placed where an output word keeps red, green and blue, for v from -256 to 511: a pixel
// is then three look-ups ORed together. Lines hold bytes R, G, B, 0; pixels are 0x00RRGGBB.
struct ClampWords {
    uint32_t red[768];
    uint32_t green[768];
    uint32_t blue[768];
};

constexpr ClampWords MakeClampWords(JpegOutput output) {
    ClampWords words{};
    for (int i = 0; i < 768; ++i) {
        const int v = i - JpegColourTables::kClampOffset;
        const uint32_t c = static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        if (output == JpegOutput::Pixels) {
            words.red[i] = c << 16;
            words.green[i] = c << 8;
            words.blue[i] = c;
            continue;
        }
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        words.red[i] = c << 24;
        words.green[i] = c << 16;
        words.blue[i] = c << 8;
#else
        words.red[i] = c;
        words.green[i] = c << 8;
        words.blue[i] = c << 16;
#endif
    }
    return words;
}

constexpr ClampWords lineWords = MakeClampWords(JpegOutput::Lines);
constexpr ClampWords pixelWords = MakeClampWords(JpegOutput::Pixels);

// Pixels of one chroma pair: n luma samples across from each of the rows given.
template <int N, bool Two>
inline void storePair(const JpegColourTables& t, const ClampWords& clampWords, int cb, int cr,
                      const uint8_t* y0, const uint8_t* y1, uint8_t* out0, uint8_t* out1) {
    const int o = JpegColourTables::kClampOffset;
    const uint32_t* red = clampWords.red + o + t.redFromCr[cr];
    const uint32_t* green = clampWords.green + o + ((t.greenFromCb[cb] + t.greenFromCr[cr]) >> 16);
    const uint32_t* blue = clampWords.blue + o + t.blueFromCb[cb];
    for (int i = 0; i < N; ++i) {
        const uint32_t pixel = red[y0[i]] | green[y0[i]] | blue[y0[i]];
        std::memcpy(out0 + 4 * i, &pixel, 4);
        if (Two) {
            const uint32_t below = red[y1[i]] | green[y1[i]] | blue[y1[i]];
            std::memcpy(out1 + 4 * i, &below, 4);
        }
    }
}

template <int H, bool Two>
void convertLine(const JpegColourTables& t, const ClampWords& words, const JpegLineSource& source,
                 uint8_t* line0, uint8_t* line1) {
    const uint8_t* s = source.samples;
    for (int m = 0; m < source.mcus; ++m, s += source.mcuBytes) {
        const uint8_t* cb = s + source.chroma;
        const uint8_t* cr = cb + 64;
        for (int half = 0; half < H; ++half) {
            // With h = 2 the left luma block covers chroma 0..3, the right one 4..7.
            const uint8_t* y = s + source.luma + 64 * half;
            for (int x = 0; x < 8 / H; ++x, y += H) {
                storePair<H, Two>(t, words, cb[x], cr[x], y, y + 8, line0, line1);
                line0 += 4 * H;
                if (Two) line1 += 4 * H;
            }
            cb += 8 / H;
            cr += 8 / H;
        }
    }
}

} // namespace

void jpegConvertLine(const JpegColourTables& t, const JpegLineSource& source, uint8_t* line0,
                     uint8_t* line1, JpegOutput output) {
    const ClampWords& w = output == JpegOutput::Pixels ? pixelWords : lineWords;
    if (source.h == 2)
        line1 ? convertLine<2, true>(t, w, source, line0, line1)
              : convertLine<2, false>(t, w, source, line0, line1);
    else
        line1 ? convertLine<1, true>(t, w, source, line0, line1)
              : convertLine<1, false>(t, w, source, line0, line1);
}

#endif
