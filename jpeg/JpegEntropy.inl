// The row decoder of sequential scans and the restart processing, shared by the bit readers: the
// standard reader and the packed 64-bit reader (portable in JpegEntropy.cpp, MMX in
// JpegEntropy_mmx.cpp) instantiate the same code, so they cannot differ in anything but their
// buffering.
#pragma once

#include "jpeg/JpegEntropy.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegMarker.h"
#include "jpeg/JpegTransform.h"

namespace jpeg_entropy {

inline int16_t low16(uint32_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}

} // namespace jpeg_entropy

template <class Reader> void JpegEntropyDecoder::processRestart(Reader& reader) {
    reader.leaveSimd();
    int budget = 1536;
    int code;
    do {
        if (--budget < 0) jpegFail(BadRestartMarker);
        code = source_->next();
    } while (code != 0xFF);
    do {
        if (--budget < 0) jpegFail(BadRestartMarker);
        code = source_->next();
    } while (code == 0xFF);
    if (code != RST0 + nextRestart_) jpegFail(BadRestartMarker);
    for (int32_t& p : predictor)
        p = 0;
    eobRun = 0;
    restartsLeft = restartInterval;
    nextRestart_ = (nextRestart_ + 1) & 7;
    reader.prime();
}

template <class Reader, bool Dequantise>
void JpegEntropyDecoder::decodeRowWith(JpegRowBuffers& rows) {
    using jpeg_entropy::low16;
    Reader reader(*source_, bits_);
    int16_t* block = rows.coefficients;
    uint8_t* extent = rows.extents;
    for (int m = 0; m < mcusPerRow_; ++m) {
        if (restartInterval != 0 && restartsLeft == 0) processRestart(reader);
        for (int b = 0; b < blocksPerMcu_; ++b, block += 64, ++extent) {
            int32_t& blockPredictor = predictor[tables_.component[b]];
            const JpegHuffmanDecodeTable& dcTable = *tables_.dc[b];
            const JpegHuffmanDecodeTable& acTable = *tables_.ac[b];
            const uint16_t* quant = tables_.quant[b];

            int s = reader.decode(dcTable);
            if (s > 16) {
                // More bits than one read delivers, and beyond the magnitude thresholds.
                reader.leaveSimd();
                jpegFail(CorruptScan);
            }
            int diff = s ? reader.receiveExtend(s) : 0;
            uint32_t sum = static_cast<uint32_t>(blockPredictor) + static_cast<uint32_t>(diff);
            blockPredictor = static_cast<int32_t>(sum);
            block[0] = Dequantise ? low16(sum * quant[0]) : low16(sum);

            int oldExtent = *extent;
            int k = 1;
            for (;;) {
                int r, v;
                int fast = acTable.fastAc[reader.peek10()];
                if (fast != 0) {
                    reader.consume(fast & 0xFF);
                    r = (fast >> 8) & 0xFF;
                    v = fast >> 16;
                } else {
                    int rs = reader.decode(acTable);
                    r = rs >> 4;
                    s = rs & 15;
                    v = s == 0 ? 0 : reader.receiveExtend(s);
                }
                if (v == 0) {
                    if (r != 15) break; // end of block
                    // ZRL: sixteen zeros.
                    if (k + 15 > 63) {
                        reader.leaveSimd();
                        jpegFail(CorruptScan);
                    }
                    int end = k + 16 < oldExtent ? k + 16 : oldExtent;
                    for (int i = k; i < end; ++i)
                        block[jpegZigZag[i]] = 0;
                    if ((k += 16) == 64) break;
                    continue;
                }
                if (r != 0) {
                    if (k + r > 63) {
                        reader.leaveSimd();
                        jpegFail(CorruptScan);
                    }
                    int end = k + r < oldExtent ? k + r : oldExtent;
                    for (int i = k; i < end; ++i)
                        block[jpegZigZag[i]] = 0;
                    k += r;
                }
                block[jpegZigZag[k]] =
                    Dequantise ? low16(static_cast<uint32_t>(v) * quant[k]) : low16(v);
                if (++k == 64) break;
            }
            for (int i = k; i < oldExtent; ++i)
                block[jpegZigZag[i]] = 0;
            *extent = static_cast<uint8_t>(k);
        }
        --restartsLeft;
    }
    reader.save();
}
