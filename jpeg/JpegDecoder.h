// A pull decoder from a JPEG byte stream to top-down scan lines: 8-bit Huffman-coded sequential
// and progressive frames, greyscale, Y/Cb/Cr or R/G/B in five sampling layouts.
//
//   decoder.begin(&stream, processorInfo().hasMmx);
//   if (decoder.beginDecoding() == 0)
//       while (decoder.decode(line, length) == 0) use(line, length);
//   decoder.releaseAll();
//
// Built from stages: the byte source and the marker reader, the Huffman tables, the entropy
// decoder with its bit readers, the coefficient planes and the MCU-row buffers, the transform and
// the colour stage. Every block comes from the decoder's one allocation table; releaseAll frees
// them, and so does the decoder's end.
#pragma once

#include "jpeg/JpegAllocation.h"
#include "jpeg/JpegByteSource.h"
#include "jpeg/JpegEntropy.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegFrame.h"
#include "jpeg/JpegInputStream.h"
#include "jpeg/JpegMarkerReader.h"
#include "jpeg/JpegPlanes.h"
#include "jpeg/JpegRows.h"

#include <cstdint>

// The variants of the decoder's arithmetic. begin(stream, useSimd) sets both flags from the one
// permission; tests set them apart to compare the bit readers on the same transform. Where the
// processor has SSE2 (processorInfo()) the packed path runs its SSE2 kernels, which give the
// pixels of the MMX ones.
struct JpegDecoderOptions {
    // The 16-bit-lane AAN transform with pre-scaled quantisation tables (SSE2 or MMX in the
    // 32-bit build), instead of the integer LL&M transform with dequantisation in the Huffman
    // stores.
    bool simdTransform = false;
    // The reader of a 64-bit buffer refilled six bytes at a time (kept in a general register
    // and a reserve; see JpegBitReader.h).
    bool simdBitReader = false;
    // Null: the process heap.
    JpegHeap* heap = nullptr;
};

class JpegDecoder {
public:
    static constexpr int kInputBufferSize = JpegByteSource::kBufferSize;
    static constexpr int kPushBackMargin = JpegByteSource::kPushBackMargin;
    static constexpr int kAllocationSlots = JpegAllocationTable::kSlots;
    static constexpr int kMaxBlocksPerMcu = JpegFrame::kMaxBlocksPerMcu;
    static constexpr int kMaxBlocksPerRow = JpegFrame::kMaxBlocksPerRow;

    JpegDecoder() = default;
    // Frees every block still held; the stream is the caller's (releaseAll detaches it).
    ~JpegDecoder() = default;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Starts on a stream: reads the markers up to the frame header. A decoder used before is
    // released first. On failure errorCode() says why and the next calls report it.
    void begin(JpegInputStream* stream, bool useSimd);
    void begin(JpegInputStream* stream, const JpegDecoderOptions& options);
    // 0 on success (also when called again), -1 on an error now or earlier.
    int beginDecoding();
    // 0: one line delivered; 1: all lines delivered; -1: not ready or failed earlier; -227: an
    // error occurred during this call (errorCode() holds it).
    int decode(const uint8_t*& linePointer, int& lineLength);
    // The remaining lines straight into a pixel buffer of width x height 32-bit pixels 0x00RRGGBB
    // (row y at pixels + y x width; grey samples in red, green and blue), without the line
    // buffers in between: exactly the pixels the lines decode delivers would make. lines
    // receives the count of lines this call stored. Returns what decode returns after its last
    // line: 1 when every line is in, -1 when not ready or failed earlier, -227 when an error
    // occurred now.
    int decodePixels(uint32_t* pixels, int& lines);
    // Detaches the stream (if still attached) and frees every block. Safe in any state.
    void releaseAll();

    int width() const { return headers_.frame.width; }
    int height() const { return headers_.frame.height; }
    int componentCount() const { return headers_.frame.componentCount; }
    SamplingLayout samplingLayout() const { return headers_.frame.layout; }
    int bytesPerPixel() const { return rows_.bytesPerPixel; }
    int errorCode() const { return errorCode_; }
    bool isProgressive() const { return headers_.frame.progressive; }
    // The three components are R, G and B, passed through unchanged, rather than Y, Cb and Cr:
    // an Adobe marker says so (transform 0), or without a JFIF or Adobe marker the components are
    // named 'R', 'G' and 'B'. Known once beginDecoding succeeded.
    bool isRgb() const { return colour_.rgb(); }
    // File bytes consumed, final once every line has been delivered.
    long bytesConsumed() const { return source_.totalBytes(); }
    // Blocks currently recorded in the allocation table.
    int allocatedBlocks() const { return blocks_.count(); }

private:
    // The error path: record the first code, detach the stream, free everything.
    void failed(int code);
    // Forgets every pointer into the blocks, which are freed or about to be.
    void forgetBlocks();
    void setUpFrame();
    // The next MCU row into the sample buffer when the current one is used up.
    void nextRowWhenNeeded();
    void startSequentialScan();
    void decodeScansIntoPlanes(bool scanHeaderRead);
    void finishImage();

    int errorCode_ = 0;
    bool simdTransform_ = false;
    bool simdBitReader_ = false;
    // The packed path's kernels in SSE2 registers: the processor has SSE2.
    bool sse2_ = false;
    bool frameRead_ = false;
    bool ready_ = false;
    bool usePlanes_ = false;

    JpegAllocationTable blocks_;
    JpegByteSource source_;
    JpegHeaders headers_;
    JpegMarkerReader markers_{source_, blocks_, headers_};
    JpegEntropyDecoder entropy_;
    JpegCoefficientPlanes planes_;
    JpegRowBuffers rows_;
    JpegTransformStage transform_;
    JpegColourStage colour_;

    // Output position: lines left in the image and in the current MCU row, MCU rows left.
    int linesLeft_ = 0;
    int linesLeftInRow_ = 0;
    int mcuRowsLeft_ = 0;
};
