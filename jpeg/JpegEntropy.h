// Huffman decoding of a scan (T.81 Annex F): the tables bound to each block of the MCU order, the
// DC predictors, restarts, the end-of-band run, and the row decoder of interleaved sequential
// scans into the MCU-row buffer. The coefficient planes' procedures (JpegPlanes.h) use the same
// state and restarts.
#pragma once

#include "jpeg/JpegAllocation.h"
#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegByteSource.h"
#include "jpeg/JpegFrame.h"
#include "jpeg/JpegHuffman.h"
#include "jpeg/JpegRows.h"

#include <cstdint>

struct JpegHeaders;

// The tables of each block of the current MCU order.
struct JpegBlockTables {
    const JpegHuffmanDecodeTable* dc[JpegFrame::kMaxBlocksPerMcu] = {};
    const JpegHuffmanDecodeTable* ac[JpegFrame::kMaxBlocksPerMcu] = {};
    const uint16_t* quant[JpegFrame::kMaxBlocksPerMcu] = {};
    // The frame component of each block.
    int component[JpegFrame::kMaxBlocksPerMcu] = {};

    void bind(const JpegHeaders& headers);
};

class JpegEntropyDecoder {
public:
    // The scan's tables: every table the scan needs is defined (HuffTableMissing), every decode
    // table is built, every scan component has its quantisation table (QuantTableMissing).
    static void checkAndBuildTables(JpegHeaders& headers, JpegAllocationTable& blocks);

    // A scan starts: tables bound to the blocks, predictors, end-of-band run and restarts reset,
    // and the reader primed (the packed one when packedReader). The source must outlive the scan.
    void startScan(JpegByteSource& source, const JpegHeaders& headers, bool packedReader);

    // The next MCU row of an interleaved sequential scan into the row buffers, dequantised for
    // the integer transform when dequantise.
    void decodeRow(JpegRowBuffers& rows, bool dequantise);

    // Reads the expected RSTn (BadRestartMarker) and starts the next interval.
    template <class Reader> void processRestart(Reader& reader);

    JpegByteSource& source() { return *source_; }
    JpegBitState& bits() { return bits_; }
    const JpegBlockTables& tables() const { return tables_; }

    // Per frame component.
    int32_t predictor[JpegFrame::kMaxComponents] = {};
    int32_t eobRun = 0;
    int restartInterval = 0;
    int restartsLeft = 0;

private:
    template <class Reader, bool Dequantise> void decodeRowWith(JpegRowBuffers& rows);

    JpegByteSource* source_ = nullptr;
    JpegBitState bits_;
    JpegBlockTables tables_;
    int mcusPerRow_ = 0;
    int blocksPerMcu_ = 0;
    int nextRestart_ = 0;
    bool packedReader_ = false;
};
