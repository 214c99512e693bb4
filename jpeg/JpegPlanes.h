// Coefficient planes: every scan of a progressive file (DC and AC, first and refinement passes,
// T.81 Annex G) and every scan of a non-interleaved sequential file is decoded into one DC and one
// AC plane per component; decode then loads one MCU row at a time from them.
#pragma once

#include "jpeg/JpegAllocation.h"
#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegEntropy.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegFrame.h"
#include "jpeg/JpegRows.h"

#include <cstdint>

struct JpegCoefficientPlane {
    int16_t* data = nullptr;
    int blocksAcross = 0;
    int blocksDown = 0;
    // 1 (DC plane) or 64 (AC plane).
    int valuesPerBlock = 0;

    // Block (x, y); TooManyBlocks outside the plane.
    int16_t* block(int x, int y) const {
        if (x < 0 || x >= blocksAcross || y < 0 || y >= blocksDown) jpegFail(TooManyBlocks);
        size_t index = static_cast<size_t>(x) + static_cast<size_t>(blocksAcross) * y;
        return data + index * static_cast<size_t>(valuesPerBlock);
    }
};

class JpegCoefficientPlanes {
public:
    // A DC and an AC plane per frame component, zero-filled, sized from the frame's MCU counts.
    void create(const JpegFrame& frame, JpegAllocationTable& blocks);
    // The entropy-coded data of the current scan, by its procedure (BadSpectralSelection and
    // BadSuccessiveApproximation for a progressive scan's parameters).
    void decodeScan(JpegEntropyDecoder& entropy, const JpegFrame& frame, const JpegScan& scan);
    // Rows are loaded from here on, with the current scan the full frame: the natural-order
    // tables of the row loader (QuantTableMissing for a component without one).
    void startLoading(const JpegFrame& frame, const JpegQuantTables& quant);
    // The next MCU row into the row buffers: dequantised for the integer transform, as stored for
    // the AAN transform.
    void loadRow(JpegRowBuffers& rows, const JpegFrame& frame, const JpegScan& scan, bool aan);

private:
    template <class Procedure>
    void forEachScanBlock(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                          const JpegFrame& frame, const JpegScan& scan, Procedure block);
    void decodeSequential(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                          const JpegFrame& frame, const JpegScan& scan);
    void decodeDcFirst(JpegEntropyDecoder& entropy, JpegBitReader& reader, const JpegFrame& frame,
                       const JpegScan& scan);
    void decodeDcRefinement(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                            const JpegFrame& frame, const JpegScan& scan);
    void decodeAcFirst(JpegEntropyDecoder& entropy, JpegBitReader& reader, const JpegFrame& frame,
                       const JpegScan& scan);
    void decodeAcRefinement(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                            const JpegFrame& frame, const JpegScan& scan);

    JpegCoefficientPlane dc_[JpegFrame::kMaxComponents];
    JpegCoefficientPlane ac_[JpegFrame::kMaxComponents];
    // Block row the next loaded MCU row starts at, per component.
    int loadRow_[JpegFrame::kMaxComponents] = {};
    // Each component's quantisation table in natural order, so that a block is copied and
    // dequantised in one pass.
    uint16_t naturalQuant_[JpegFrame::kMaxComponents][64] = {};
};
