// Coefficient planes. beginDecoding decodes every scan of a progressive file (DC and AC, first
// and refinement passes, T.81 Annex G) and every scan of a non-interleaved sequential file into
// one DC and one AC plane per component; decode then loads one MCU row at a time from them.
//
// Nothing the file says may reach outside the planes: every block position goes through
// planeBlock, every coefficient index is checked against 63 before it is used, end-of-band runs
// end with their scan or restart interval, and values wrap at 16 bits as the planes hold them.
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

void JpegDecoder::createPlanes() {
    for (int i = 0; i < componentCount_; ++i) {
        Component& c = components_[i];
        int across = mcusPerRow_ * c.h;
        int down = mcusPerColumn_ * c.v;
        size_t blocks = static_cast<size_t>(across) * static_cast<size_t>(down);
        c.dcPlane = CoefficientPlane{static_cast<int16_t*>(allocate(blocks * 2)), across, down, 1};
        c.acPlane =
            CoefficientPlane{static_cast<int16_t*>(allocate(blocks * 128)), across, down, 64};
        c.loadRow = 0;
    }
}

inline int16_t* JpegDecoder::planeBlock(CoefficientPlane& plane, int x, int y) {
    if (x < 0 || x >= plane.blocksAcross || y < 0 || y >= plane.blocksDown) fail(TooManyBlocks);
    size_t index = static_cast<size_t>(x) + static_cast<size_t>(plane.blocksAcross) * y;
    return plane.data + index * static_cast<size_t>(plane.valuesPerBlock);
}

void JpegDecoder::decodeScansIntoPlanes(bool scanHeaderRead) {
    for (;;) {
        if (!scanHeaderRead) {
            int marker = readMarkers();
            if (marker == 0xD9) break;
            if (marker != 0xDA) fail(UnexpectedMarker);
            readScanHeader();
            computeScanGeometry();
        }
        scanHeaderRead = false;
        startScan();
        if (progressive_) checkProgressiveScan();
        decodeScanIntoPlanes();
        dropBits();
    }
    makeFullFrameCurrent();
}

void JpegDecoder::checkProgressiveScan() {
    if (bandStart_ > bandEnd_ || bandEnd_ > 63) fail(BadSpectralSelection);
    // A DC scan codes coefficient 0 alone; an AC scan codes one component.
    if (bandStart_ == 0 && bandEnd_ != 0) fail(BadSpectralSelection);
    if (bandStart_ > 0 && scanComponentCount_ > 1) fail(BadSpectralSelection);
    // A refinement pass adds exactly one bit.
    if (approxHigh_ != 0 && approxLow_ != approxHigh_ - 1) fail(BadSuccessiveApproximation);
}

void JpegDecoder::decodeScanIntoPlanes() {
    StandardBitReader reader(*this);
    if (!progressive_)
        decodeSequentialScan(reader);
    else if (bandStart_ == 0 && approxHigh_ == 0)
        decodeDcFirst(reader);
    else if (bandStart_ == 0)
        decodeDcRefinement(reader);
    else if (approxHigh_ == 0)
        decodeAcFirst(reader);
    else
        decodeAcRefinement(reader);
    reader.save();
}

// Walks the blocks of the current scan in coding order, with restarts between MCUs, and calls
// block(index in the MCU order, component, block column, block row) for each.
template <class Procedure>
void JpegDecoder::forEachScanBlock(StandardBitReader& reader, Procedure block) {
    int nextColumn[4] = {0, 0, 0, 0};
    int nextRow[4] = {0, 0, 0, 0};
    int across[4] = {0, 0, 0, 0};
    int down[4] = {0, 0, 0, 0};
    const bool single = scanComponentCount_ == 1;
    for (int mr = 0; mr < scanMcusPerColumn_; ++mr) {
        for (int mc = 0; mc < scanMcusPerRow_; ++mc) {
            if (restartInterval_ != 0) {
                if (restartsLeft_ == 0) processRestart(reader);
                --restartsLeft_;
            }
            for (int b = 0; b < scanBlocksPerMcu_; ++b) {
                int ci = mcuOrder_[b];
                Component& c = components_[ci];
                block(b, c, nextColumn[ci] + across[ci], nextRow[ci] + down[ci]);
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
        for (int i = 0; i < scanComponentCount_; ++i) {
            int ci = scanComponents_[i];
            nextColumn[ci] = 0;
            nextRow[ci] += single ? 1 : components_[ci].v;
        }
    }
}

// A whole sequential block: DC into the DC plane, AC into the AC plane, both quantised (the row
// loader dequantises).
void JpegDecoder::decodeSequentialScan(StandardBitReader& reader) {
    forEachScanBlock(reader, [&](int b, Component& c, int x, int y) {
        int16_t* dc = planeBlock(c.dcPlane, x, y);
        int16_t* ac = planeBlock(c.acPlane, x, y);
        int s = reader.decode(*blockDcTable_[b]);
        if (s > 16) fail(CorruptScan);
        int diff = s ? reader.receiveExtend(s) : 0;
        c.predictor =
            static_cast<int32_t>(static_cast<uint32_t>(c.predictor) + static_cast<uint32_t>(diff));
        *dc = low16(static_cast<uint32_t>(c.predictor));
        std::memset(ac, 0, 128);
        const HuffmanDecodeTable& acTable = *blockAcTable_[b];
        for (int k = 1; k < 64; ++k) {
            int rs = reader.decode(acTable);
            int r = rs >> 4;
            s = rs & 15;
            if (s != 0) {
                k += r;
                if (k > 63) fail(CorruptScan);
                ac[jpegZigZag[k]] = low16(static_cast<uint32_t>(reader.receiveExtend(s)));
            } else if (r == 15) {
                k += 15;
                if (k > 63) fail(CorruptScan);
            } else {
                break;
            }
        }
    });
}

void JpegDecoder::decodeDcFirst(StandardBitReader& reader) {
    const int shift = approxLow_;
    forEachScanBlock(reader, [&](int b, Component& c, int x, int y) {
        int16_t* dc = planeBlock(c.dcPlane, x, y);
        int s = reader.decode(*blockDcTable_[b]);
        // More bits than one read delivers, and beyond the magnitude thresholds.
        if (s > 16) fail(CorruptScan);
        int diff = s ? reader.receiveExtend(s) : 0;
        uint32_t predictor = static_cast<uint32_t>(c.predictor) + static_cast<uint32_t>(diff);
        c.predictor = static_cast<int32_t>(predictor);
        *dc = low16(predictor << shift);
    });
}

void JpegDecoder::decodeDcRefinement(StandardBitReader& reader) {
    const int bit = 1 << approxLow_;
    forEachScanBlock(reader, [&](int, Component& c, int x, int y) {
        // A 0 bit changes nothing, so its block is not even looked up.
        if (reader.bits(1) == 0) return;
        int16_t* dc = planeBlock(c.dcPlane, x, y);
        *dc = static_cast<int16_t>(*dc | bit);
    });
}

void JpegDecoder::decodeAcFirst(StandardBitReader& reader) {
    const int start = bandStart_;
    const int end = bandEnd_;
    const int shift = approxLow_;
    forEachScanBlock(reader, [&](int b, Component& c, int x, int y) {
        // Blocks inside an end-of-band run keep every coefficient of this band at 0.
        if (eobRun_ > 0) {
            --eobRun_;
            return;
        }
        int16_t* p = planeBlock(c.acPlane, x, y);
        const HuffmanDecodeTable& table = *blockAcTable_[b];
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
                if (k > 63) fail(CorruptScan);
                p[jpegZigZag[k]] = low16(static_cast<uint32_t>(v) << shift);
            } else if (r == 15) {
                k += 15;
                if (k > 63) fail(CorruptScan);
            } else {
                // EOBr: this block and the next 2^r - 1 + (r bits) blocks end here.
                eobRun_ = (1 << r) - 1 + (r > 0 ? reader.bits(r) : 0);
                return;
            }
        }
    });
}

void JpegDecoder::decodeAcRefinement(StandardBitReader& reader) {
    const int start = bandStart_;
    const int end = bandEnd_;
    const int plus = 1 << approxLow_;
    const int minus = -plus;
    // A coefficient already non-zero gets its next bit from the stream: when the bit is 1 and
    // not yet set, the magnitude grows by one step (wrapping at 16 bits like every plane value).
    auto correct = [&](int16_t& v) {
        if (reader.bits(1) && (v & plus) == 0)
            v = low16(static_cast<uint32_t>(v) + static_cast<uint32_t>(v >= 0 ? plus : minus));
    };
    forEachScanBlock(reader, [&](int b, Component& c, int x, int y) {
        int16_t* p = planeBlock(c.acPlane, x, y);
        int k = start;
        if (eobRun_ == 0) {
            const HuffmanDecodeTable& table = *blockAcTable_[b];
            for (; k <= end; ++k) {
                int rs = reader.decode(table);
                int r = rs >> 4;
                int s = rs & 15;
                int value = 0;
                if (s != 0) {
                    // A newly non-zero coefficient is +-1 at this bit position, nothing else.
                    if (s != 1) fail(CorruptScan);
                    value = reader.bits(1) ? plus : minus;
                } else if (r != 15) {
                    eobRun_ = (1 << r) + (r > 0 ? reader.bits(r) : 0);
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
        if (eobRun_ > 0) {
            for (; k <= end; ++k) {
                int16_t& v = p[jpegZigZag[k]];
                if (v != 0) correct(v);
            }
            --eobRun_;
        }
    });
}

void JpegDecoder::makeFullFrameCurrent() {
    scanComponentCount_ = componentCount_;
    for (int i = 0; i < componentCount_; ++i)
        scanComponents_[i] = i;
    computeScanGeometry();
    // The row loader dequantises every component, including one no scan named.
    for (int i = 0; i < componentCount_; ++i) {
        int table = components_[i].quantTable;
        if (table > 3 || !quantTables_[table]) fail(QuantTableMissing);
        for (int k = 0; k < 64; ++k)
            naturalQuant_[i][jpegZigZag[k]] = quantTables_[table][k];
    }
    bindBlockTables();
    for (Component& c : components_)
        c.loadRow = 0;
}

void JpegDecoder::loadRowFromPlanes() {
    int16_t* block = coefficients_;
    for (int m = 0; m < mcusPerRow_; ++m) {
        // The same stepping as in a scan: across within the component's H, then down.
        int across[4] = {0, 0, 0, 0};
        int down[4] = {0, 0, 0, 0};
        for (int b = 0; b < blocksPerMcu_; ++b, block += 64) {
            int ci = mcuOrder_[b];
            Component& c = components_[ci];
            int x = m * c.h + across[ci];
            int y = c.loadRow + down[ci];
            if (++across[ci] == c.h) {
                across[ci] = 0;
                ++down[ci];
            }
            const int16_t* ac = planeBlock(c.acPlane, x, y);
            const int16_t* dc = planeBlock(c.dcPlane, x, y);
            if (simdTransform_) {
                // The AAN transform dequantises with its pre-scaled tables.
                std::memcpy(block, ac, 128);
                block[0] = *dc;
            } else {
                dequantiseBlock(block, ac, *dc, naturalQuant_[ci]);
            }
        }
    }
    for (int i = 0; i < componentCount_; ++i)
        components_[i].loadRow += components_[i].v;
}
