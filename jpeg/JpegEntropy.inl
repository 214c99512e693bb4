// The row decoder of sequential scans and the restart processing, shared by the bit readers: the
// standard reader and the packed one instantiate the same code, so they cannot differ in anything
// but their buffering.
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

// Clears the first `rows` rows (16 bytes each) of a block.
inline void clearRows(int16_t* block, int rows) {
    uint32_t* words = reinterpret_cast<uint32_t*>(block);
    for (int i = 0; i < 4 * rows; ++i)
        words[i] = 0;
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
            const uint16_t* quant = tables_.quant[b];

            // DC: a category and its extra bits within the next 10 bits come from the
            // coefficient table, whose entries for a DC table have run 0.
            int diff;
            const int32_t dcFast = tables_.dc[b]->fastAc[reader.peek10()];
            if (dcFast != 0 && (dcFast & 0xFF00) == 0) {
                reader.consume(dcFast & 0xFF);
                diff = dcFast >> 16;
            } else {
                const int s = reader.decode(*tables_.dc[b]);
                // More bits than one read delivers, and beyond the magnitude thresholds.
                if (s > 16) jpegFail(CorruptScan);
                diff = s ? reader.receiveExtend(s) : 0;
            }
            int32_t& blockPredictor = predictor[tables_.component[b]];
            const uint32_t sum =
                static_cast<uint32_t>(blockPredictor) + static_cast<uint32_t>(diff);
            blockPredictor = static_cast<int32_t>(sum);

            // What the block before left in this buffer goes first; then only the coefficients
            // of this block are stored.
            clearRows(block, jpegRowsUsed[*extent]);
            block[0] = Dequantise ? low16(sum * quant[0]) : low16(sum);

            const int32_t* fastAc = tables_.ac[b]->fastAc;
            int k = 1;
            for (;;) {
                // (value << 16) | (run << 8) | bits: a coefficient after its run of zeros, ZRL as
                // a value of 0 after 15 zeros (the position is 0 already), EOB below 256, 0 for
                // what the table does not hold.
                int32_t e = fastAc[reader.peek10()];
                if ((e & ~0xFF) != 0) {
                    reader.consume(e & 0xFF);
                } else if (e != 0) {
                    reader.consume(e);
                    break; // end of block
                } else {
                    const int rs = reader.decode(*tables_.ac[b]);
                    const int s = rs & 15;
                    if (s == 0 && rs != 0xF0) break; // end of block
                    const int v = s == 0 ? 0 : reader.receiveExtend(s);
                    e = static_cast<int32_t>(static_cast<uint32_t>(v) << 16) | ((rs >> 4) << 8);
                }
                k += (e >> 8) & 0xFF;
                if (k > 63) jpegFail(CorruptScan);
                const int v = e >> 16;
                block[jpegZigZag[k]] =
                    Dequantise ? low16(static_cast<uint32_t>(v) * quant[k]) : low16(v);
                if (++k == 64) break;
            }
            *extent = static_cast<uint8_t>(k);
        }
        --restartsLeft;
    }
    reader.save();
}
