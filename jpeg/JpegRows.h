// The MCU-row buffers and the stages that turn a row of coefficients into output lines: the
// inverse transform (coefficients to samples) and the colour stage (samples to lines).
#pragma once

#include "jpeg/JpegAllocation.h"
#include "jpeg/JpegColour.h"
#include "jpeg/JpegFrame.h"

#include <cstdint>

// One MCU row: 64 coefficients (128 bytes) and 64 samples per block, blocks in MCU order, with
// the count of zig-zag positions each block may hold non-zero (64 when nothing is known); and
// the two output lines.
struct JpegRowBuffers {
    int16_t* coefficients = nullptr;
    uint8_t* extents = nullptr;
    uint8_t* samples = nullptr;
    uint8_t* lines[2] = {};
    int bytesPerPixel = 0;
    // width x bytes per pixel, and the width rounded up to 16 pixels.
    int lineLength = 0;
    int lineBufferLength = 0;

    // Allocates every buffer for the frame (after JpegFrame::setUp).
    void create(const JpegFrame& frame, JpegAllocationTable& blocks);
    // The blocks are gone: no pointer into them stays.
    void forget() { *this = JpegRowBuffers{nullptr, nullptr, nullptr, {}, bytesPerPixel}; }
};

class JpegTransformStage {
public:
    // The AAN transform with pre-scaled tables (in SSE2 registers when sse2, else MMX ones or
    // portable code), or the integer one.
    void useAan(bool aan, bool sse2) {
        aan_ = aan;
        sse2_ = sse2;
    }
    // The quantisation table of each block of an MCU (the AAN transform dequantises).
    void bind(const uint16_t* const quant[JpegFrame::kMaxBlocksPerMcu]);
    // Every block of the row, coefficients to samples; the coefficients stay as they are.
    void transformRow(const JpegRowBuffers& rows, const JpegFrame& frame) const;

private:
    bool aan_ = false;
    bool sse2_ = false;
    const uint16_t* quant_[JpegFrame::kMaxBlocksPerMcu] = {};
};

class JpegColourStage {
public:
    // The conversion tables, and the packed conversion (SSE2 when sse2, else MMX) or the plain
    // one.
    void setUp(bool packed, bool sse2);
    // The components are R, G, B, passed through unchanged.
    void passRgb(bool rgb) { rgb_ = rgb; }
    bool rgb() const { return rgb_; }
    // Row r of the MCU row into line0 (and row r + 1 into line1 when not null), whole MCUs
    // from MCU `first` on (up to `mcus` of them; all when negative).
    void convertLine(const JpegRowBuffers& rows, const JpegFrame& frame, int r, uint8_t* line0,
                     uint8_t* line1, JpegOutput output = JpegOutput::Lines, int first = 0,
                     int mcus = -1) const;

private:
    bool rgb_ = false;
    bool packed_ = false;
    bool sse2_ = false;
    JpegColourTables tables_;
};
