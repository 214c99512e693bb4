// Nothing the file says may reach outside the planes: every block position goes through
// JpegCoefficientPlane::block, every coefficient index is checked against 63 before it is used,
// end-of-band runs end with their scan or restart interval, and values wrap at 16 bits as the
// planes hold them.
#include "jpeg/JpegPlanes.h"

#include "jpeg/JpegEntropy.inl"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using jpeg_entropy::low16;

namespace {

// One block of the row buffer from the planes, dequantised for the integer transform: every
// coefficient times its quantisation entry (natural order), keeping the low 16 bits of the
// product, as the Huffman stores of sequential scans do. Zeros stay zero.
void dequantiseBlock(int16_t* out, const int16_t* ac, int16_t dc, const uint16_t* quant) {
#if defined(__SSE2__)
    // pmullw keeps the low 16 bits: the same product.
    for (int i = 0; i < 64; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ac + i));
        __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_mullo_epi16(v, q));
    }
#else
    for (int i = 1; i < 64; ++i)
        out[i] = low16(static_cast<uint32_t>(static_cast<uint16_t>(ac[i])) * quant[i]);
#endif
    out[0] = low16(static_cast<uint32_t>(static_cast<uint16_t>(dc)) * quant[0]);
}

} // namespace

void JpegCoefficientPlanes::create(const JpegFrame& frame, JpegAllocationTable& blocks) {
    for (int i = 0; i < frame.componentCount; ++i) {
        const JpegComponent& c = frame.components[i];
        int across = frame.mcusPerRow * c.h;
        int down = frame.mcusPerColumn * c.v;
        size_t count = static_cast<size_t>(across) * static_cast<size_t>(down);
        dc_[i] = JpegCoefficientPlane{blocks.allocateArray<int16_t>(count), across, down, 1};
        ac_[i] = JpegCoefficientPlane{blocks.allocateArray<int16_t>(count * 64), across, down, 64};
        loadRow_[i] = 0;
    }
}

void JpegCoefficientPlanes::decodeScan(JpegEntropyDecoder& entropy, const JpegFrame& frame,
                                       const JpegScan& scan) {
    if (frame.progressive) {
        if (scan.bandStart > scan.bandEnd || scan.bandEnd > 63) jpegFail(BadSpectralSelection);
        // A DC scan codes coefficient 0 alone; an AC scan codes one component.
        if (scan.bandStart == 0 && scan.bandEnd != 0) jpegFail(BadSpectralSelection);
        if (scan.bandStart > 0 && scan.componentCount > 1) jpegFail(BadSpectralSelection);
        // A refinement pass adds exactly one bit.
        if (scan.approxHigh != 0 && scan.approxLow != scan.approxHigh - 1)
            jpegFail(BadSuccessiveApproximation);
    }
    JpegBitReader reader(entropy.source(), entropy.bits());
    if (!frame.progressive)
        decodeSequential(entropy, reader, frame, scan);
    else if (scan.bandStart == 0 && scan.approxHigh == 0)
        decodeDcFirst(entropy, reader, frame, scan);
    else if (scan.bandStart == 0)
        decodeDcRefinement(entropy, reader, frame, scan);
    else if (scan.approxHigh == 0)
        decodeAcFirst(entropy, reader, frame, scan);
    else
        decodeAcRefinement(entropy, reader, frame, scan);
    reader.save();
}

// Walks the blocks of the current scan in coding order, with restarts between MCUs, and calls
// block(index in the MCU order, frame component, block column, block row) for each.
template <class Procedure>
void JpegCoefficientPlanes::forEachScanBlock(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                                             const JpegFrame& frame, const JpegScan& scan,
                                             Procedure block) {
    int nextColumn[4] = {0, 0, 0, 0};
    int nextRow[4] = {0, 0, 0, 0};
    int across[4] = {0, 0, 0, 0};
    int down[4] = {0, 0, 0, 0};
    const bool single = scan.componentCount == 1;
    for (int mr = 0; mr < scan.mcusPerColumn; ++mr) {
        for (int mc = 0; mc < scan.mcusPerRow; ++mc) {
            if (entropy.restartInterval != 0) {
                if (entropy.restartsLeft == 0) entropy.processRestart(reader);
                --entropy.restartsLeft;
            }
            for (int b = 0; b < scan.blocksPerMcu; ++b) {
                int ci = scan.mcuOrder[b];
                const JpegComponent& c = frame.components[ci];
                block(b, ci, nextColumn[ci] + across[ci], nextRow[ci] + down[ci]);
                if (single) {
                    ++nextColumn[ci];
                } else if (++across[ci] == c.h) {
                    across[ci] = 0;
                    if (++down[ci] == c.v) {
                        down[ci] = 0;
                        nextColumn[ci] += c.h;
                    }
                }
            }
        }
        for (int i = 0; i < scan.componentCount; ++i) {
            int ci = scan.components[i];
            nextColumn[ci] = 0;
            nextRow[ci] += single ? 1 : frame.components[ci].v;
        }
    }
}

// A whole sequential block: DC into the DC plane, AC into the AC plane, both quantised (the row
// loader dequantises).
void JpegCoefficientPlanes::decodeSequential(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                                             const JpegFrame& frame, const JpegScan& scan) {
    const JpegBlockTables& tables = entropy.tables();
    forEachScanBlock(entropy, reader, frame, scan, [&](int b, int c, int x, int y) {
        int16_t* dc = dc_[c].block(x, y);
        int16_t* ac = ac_[c].block(x, y);
        int s = reader.decode(*tables.dc[b]);
        if (s > 16) jpegFail(CorruptScan);
        int diff = s ? reader.receiveExtend(s) : 0;
        int32_t& predictor = entropy.predictor[c];
        predictor =
            static_cast<int32_t>(static_cast<uint32_t>(predictor) + static_cast<uint32_t>(diff));
        *dc = low16(static_cast<uint32_t>(predictor));
        std::memset(ac, 0, 128);
        const JpegHuffmanDecodeTable& acTable = *tables.ac[b];
        for (int k = 1; k < 64; ++k) {
            int rs = reader.decode(acTable);
            int r = rs >> 4;
            s = rs & 15;
            if (s != 0) {
                k += r;
                if (k > 63) jpegFail(CorruptScan);
                ac[jpegZigZag[k]] = low16(static_cast<uint32_t>(reader.receiveExtend(s)));
            } else if (r == 15) {
                k += 15;
                if (k > 63) jpegFail(CorruptScan);
            } else {
                break;
            }
        }
    });
}

void JpegCoefficientPlanes::decodeDcFirst(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                                          const JpegFrame& frame, const JpegScan& scan) {
    const int shift = scan.approxLow;
    const JpegBlockTables& tables = entropy.tables();
    forEachScanBlock(entropy, reader, frame, scan, [&](int b, int c, int x, int y) {
        int16_t* dc = dc_[c].block(x, y);
        int s = reader.decode(*tables.dc[b]);
        // More bits than one read delivers, and beyond the magnitude thresholds.
        if (s > 16) jpegFail(CorruptScan);
        int diff = s ? reader.receiveExtend(s) : 0;
        int32_t& predictor = entropy.predictor[c];
        uint32_t sum = static_cast<uint32_t>(predictor) + static_cast<uint32_t>(diff);
        predictor = static_cast<int32_t>(sum);
        *dc = low16(sum << shift);
    });
}

void JpegCoefficientPlanes::decodeDcRefinement(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                                               const JpegFrame& frame, const JpegScan& scan) {
    const int bit = 1 << scan.approxLow;
    forEachScanBlock(entropy, reader, frame, scan, [&](int, int c, int x, int y) {
        // A 0 bit changes nothing, so its block is not even looked up.
        if (reader.bits(1) == 0) return;
        int16_t* dc = dc_[c].block(x, y);
        *dc = static_cast<int16_t>(*dc | bit);
    });
}

void JpegCoefficientPlanes::decodeAcFirst(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                                          const JpegFrame& frame, const JpegScan& scan) {
    const int start = scan.bandStart;
    const int end = scan.bandEnd;
    const int shift = scan.approxLow;
    const JpegBlockTables& tables = entropy.tables();
    forEachScanBlock(entropy, reader, frame, scan, [&](int b, int c, int x, int y) {
        // Blocks inside an end-of-band run keep every coefficient of this band at 0.
        if (entropy.eobRun > 0) {
            --entropy.eobRun;
            return;
        }
        int16_t* p = ac_[c].block(x, y);
        const JpegHuffmanDecodeTable& table = *tables.ac[b];
        for (int k = start; k <= end; ++k) {
            int r, v;
            int fast = table.fastAc[reader.peek10()];
            if (fast != 0) {
                reader.consume(fast & 0xFF);
                r = (fast >> 8) & 0xFF;
                v = fast >> 16;
            } else {
                int rs = reader.decode(table);
                r = rs >> 4;
                int s = rs & 15;
                v = s == 0 ? 0 : reader.receiveExtend(s);
            }
            if (v != 0) {
                k += r;
                if (k > 63) jpegFail(CorruptScan);
                p[jpegZigZag[k]] = low16(static_cast<uint32_t>(v) << shift);
            } else if (r == 15) {
                k += 15;
                if (k > 63) jpegFail(CorruptScan);
            } else {
                // EOBr: this block and the next 2^r - 1 + (r bits) blocks end here.
                entropy.eobRun = (1 << r) - 1 + (r > 0 ? reader.bits(r) : 0);
                return;
            }
        }
    });
}

void JpegCoefficientPlanes::decodeAcRefinement(JpegEntropyDecoder& entropy, JpegBitReader& reader,
                                               const JpegFrame& frame, const JpegScan& scan) {
    const int start = scan.bandStart;
    const int end = scan.bandEnd;
    const int plus = 1 << scan.approxLow;
    const int minus = -plus;
    const JpegBlockTables& tables = entropy.tables();
    // A coefficient already non-zero gets its next bit from the stream: when the bit is 1 and
    // not yet set, the magnitude grows by one step (wrapping at 16 bits like every plane value).
    auto correct = [&](int16_t& v) {
        if (reader.bits(1) && (v & plus) == 0)
            v = low16(static_cast<uint32_t>(v) + static_cast<uint32_t>(v >= 0 ? plus : minus));
    };
    forEachScanBlock(entropy, reader, frame, scan, [&](int b, int c, int x, int y) {
        int16_t* p = ac_[c].block(x, y);
        int k = start;
        if (entropy.eobRun == 0) {
            const JpegHuffmanDecodeTable& table = *tables.ac[b];
            for (; k <= end; ++k) {
                int rs = reader.decode(table);
                int r = rs >> 4;
                int s = rs & 15;
                int value = 0;
                if (s != 0) {
                    // A newly non-zero coefficient is +-1 at this bit position, nothing else.
                    if (s != 1) jpegFail(CorruptScan);
                    value = reader.bits(1) ? plus : minus;
                } else if (r != 15) {
                    entropy.eobRun = (1 << r) + (r > 0 ? reader.bits(r) : 0);
                    break;
                }
                // Skip r coefficients that are still zero, correcting the non-zero ones on
                // the way; stop on the zero coefficient after them.
                for (; k <= end; ++k) {
                    int16_t& v = p[jpegZigZag[k]];
                    if (v != 0)
                        correct(v);
                    else if (--r < 0)
                        break;
                }
                // The walk may end one past the band: still inside the block below 64.
                if (value != 0 && k < 64) p[jpegZigZag[k]] = static_cast<int16_t>(value);
            }
        }
        if (entropy.eobRun > 0) {
            for (; k <= end; ++k) {
                int16_t& v = p[jpegZigZag[k]];
                if (v != 0) correct(v);
            }
            --entropy.eobRun;
        }
    });
}

void JpegCoefficientPlanes::startLoading(const JpegFrame& frame, const JpegQuantTables& quant) {
    // The row loader dequantises every component, including one no scan named.
    for (int i = 0; i < frame.componentCount; ++i) {
        const uint16_t* table = quant.table(frame.components[i].quantTable);
        if (!table) jpegFail(QuantTableMissing);
        for (int k = 0; k < 64; ++k)
            naturalQuant_[i][jpegZigZag[k]] = table[k];
    }
    for (int& row : loadRow_)
        row = 0;
}

void JpegCoefficientPlanes::loadRow(JpegRowBuffers& rows, const JpegFrame& frame,
                                    const JpegScan& scan, bool aan) {
    int16_t* block = rows.coefficients;
    for (int m = 0; m < frame.mcusPerRow; ++m) {
        // The same stepping as in a scan: across within the component's H, then down.
        int across[4] = {0, 0, 0, 0};
        int down[4] = {0, 0, 0, 0};
        for (int b = 0; b < frame.blocksPerMcu; ++b, block += 64) {
            int ci = scan.mcuOrder[b];
            const JpegComponent& c = frame.components[ci];
            int x = m * c.h + across[ci];
            int y = loadRow_[ci] + down[ci];
            if (++across[ci] == c.h) {
                across[ci] = 0;
                ++down[ci];
            }
            const int16_t* ac = ac_[ci].block(x, y);
            const int16_t* dc = dc_[ci].block(x, y);
            if (aan) {
                // The AAN transform dequantises with its pre-scaled tables.
                std::memcpy(block, ac, 128);
                block[0] = *dc;
            } else {
                dequantiseBlock(block, ac, *dc, naturalQuant_[ci]);
            }
        }
    }
    for (int i = 0; i < frame.componentCount; ++i)
        loadRow_[i] += frame.components[i].v;
}
