// Huffman decoding of sequential scans, shared by the bit readers: the standard reader and the
// packed 64-bit reader (portable here, MMX in JpegEntropy_mmx.cpp) instantiate the same row
// decoder, so they cannot differ in anything but their buffering.
#pragma once

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegTransform.h"

namespace jpeg_entropy {

inline int16_t low16(uint32_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}

// T.81 F.2.2.1 EXTEND: r read as an s-bit number.
inline int extend(int r, int s) {
    return r < (1 << (s - 1)) ? r - (1 << s) + 1 : r;
}

} // namespace jpeg_entropy

// The standard reader: bits left-aligned in a 32-bit buffer holding 17..32 of them.
struct JpegDecoder::StandardBitReader {
    JpegDecoder& d;
    uint32_t buffer;
    int count;

    explicit StandardBitReader(JpegDecoder& decoder)
        : d(decoder), buffer(decoder.bitBuffer_), count(decoder.bitCount_) {}
    void save() {
        d.bitBuffer_ = buffer;
        d.bitCount_ = count;
    }
    void leaveSimd() {}

    uint32_t word() {
        const uint8_t* p = d.input_ + d.inputPos_;
        if (d.inputEnd_ - d.inputPos_ >= 3 && p[0] != 0xFF && p[1] != 0xFF) {
            d.inputPos_ += 2;
            return (uint32_t(p[0]) << 8) | p[1];
        }
        uint32_t high = d.entropyByte();
        return (high << 8) | d.entropyByte();
    }
    int peek10() const { return static_cast<int>(buffer >> 22); }
    void prime() {
        uint32_t high = word();
        buffer = (high << 16) | word();
        count = 32;
    }
    void consume(int n) {
        buffer <<= n;
        count -= n;
        if (count <= 16) {
            buffer |= word() << (16 - count);
            count += 16;
        }
    }
    // 1..16 bits.
    int bits(int n) {
        int r = static_cast<int>(buffer >> (32 - n));
        consume(n);
        return r;
    }
    int decode(const HuffmanDecodeTable& t) {
        int fast = t.fast[buffer >> 24];
        if (fast >= 0) {
            consume(fast >> 8);
            return fast & 0xFF;
        }
        int e = t.lookup[buffer >> 24];
        consume(8);
        do {
            e = bits(1) ? t.tree[-e - 1] : t.tree[-e];
        } while (e < 0);
        return e;
    }
    int receiveExtend(int s) { return jpeg_entropy::extend(bits(s), s); }
};

// The packed reader: bits left-aligned in a 64-bit buffer holding at least 16 of them, refilled
// six bytes at a time. Register supplies the 64-bit arithmetic (uint64_t here; MMX registers
// in the Windows build).
template <class Register> struct JpegDecoder::PackedBitReader {
    JpegDecoder& d;
    typename Register::Value buffer;
    int count;

    explicit PackedBitReader(JpegDecoder& decoder)
        : d(decoder), buffer(Register::load(decoder.packedBuffer_)), count(decoder.packedCount_) {}
    void save() {
        d.packedBuffer_ = Register::store(buffer);
        d.packedCount_ = count;
        Register::leave();
    }
    // Before anything outside the reader runs (restarts, errors, stream reads).
    void leaveSimd() { Register::leave(); }

    void fill() {
        const uint8_t* p = d.input_ + d.inputPos_;
        if (d.inputEnd_ - d.inputPos_ >= 12 && p[0] != 0xFF && p[1] != 0xFF && p[2] != 0xFF &&
            p[3] != 0xFF && p[4] != 0xFF && p[5] != 0xFF) {
            d.inputPos_ += 6;
            buffer = Register::append(buffer, count, Register::fromBytes(p));
        } else {
            // Through the entropy byte reader, which may refill the input buffer.
            uint64_t saved = Register::store(buffer);
            Register::leave();
            uint8_t bytes[6];
            for (uint8_t& b : bytes)
                b = d.entropyByte();
            buffer = Register::append(Register::load(saved), count, Register::fromBytes(bytes));
        }
        count += 48;
    }
    void prime() {
        buffer = Register::load(0);
        count = 0;
        fill();
    }
    void consume(int n) {
        buffer = Register::shiftLeft(buffer, n);
        count -= n;
        if (count < 16) fill();
    }
    int peek10() const { return Register::top(buffer, 10); }
    int bits(int n) {
        int r = Register::top(buffer, n);
        consume(n);
        return r;
    }
    int decode(const HuffmanDecodeTable& t) {
        int peek = Register::top(buffer, 16);
        int fast = t.fast[peek >> 8];
        if (fast >= 0) {
            consume(fast >> 8);
            return fast & 0xFF;
        }
        // Walk the tree over the eight bits after the prefix, then take the whole code at once.
        int e = t.lookup[peek >> 8];
        int length = 8;
        while (e < 0 && length < 16) {
            ++length;
            e = (peek >> (16 - length)) & 1 ? t.tree[-e - 1] : t.tree[-e];
        }
        consume(length);
        return e < 0 ? 0 : e;
    }
    int receiveExtend(int s) { return jpeg_entropy::extend(bits(s), s); }
};

template <class Reader> void JpegDecoder::processRestart(Reader& reader) {
    reader.leaveSimd();
    int budget = 1536;
    int code;
    do {
        if (--budget < 0) fail(BadRestartMarker);
        code = nextByte();
    } while (code != 0xFF);
    do {
        if (--budget < 0) fail(BadRestartMarker);
        code = nextByte();
    } while (code == 0xFF);
    if (code != 0xD0 + nextRestart_) fail(BadRestartMarker);
    for (Component& c : components_)
        c.predictor = 0;
    eobRun_ = 0;
    restartsLeft_ = restartInterval_;
    nextRestart_ = (nextRestart_ + 1) & 7;
    reader.prime();
}

template <class Reader, bool Dequantise> void JpegDecoder::decodeMcuRowWith() {
    using jpeg_entropy::low16;
    Reader reader(*this);
    int16_t* block = coefficients_;
    uint8_t* extent = extents_;
    for (int m = 0; m < scanMcusPerRow_; ++m) {
        if (restartInterval_ != 0 && restartsLeft_ == 0) processRestart(reader);
        for (int b = 0; b < scanBlocksPerMcu_; ++b, block += 64, ++extent) {
            Component& component = components_[mcuOrder_[b]];
            const HuffmanDecodeTable& dcTable = *blockDcTable_[b];
            const HuffmanDecodeTable& acTable = *blockAcTable_[b];
            const uint16_t* quant = blockQuant_[b];

            int s = reader.decode(dcTable);
            if (s > 16) {
                // More bits than one read delivers, and beyond the magnitude thresholds.
                reader.leaveSimd();
                fail(CorruptScan);
            }
            int diff = s ? reader.receiveExtend(s) : 0;
            uint32_t predictor =
                static_cast<uint32_t>(component.predictor) + static_cast<uint32_t>(diff);
            component.predictor = static_cast<int32_t>(predictor);
            block[0] = Dequantise ? low16(predictor * quant[0]) : low16(predictor);

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
                        fail(CorruptScan);
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
                        fail(CorruptScan);
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
        --restartsLeft_;
    }
    reader.save();
}
