// The entropy bit readers over the byte source: the standard one (a 32-bit buffer refilled two
// bytes at a time) and the packed one (a 64-bit buffer refilled six bytes at a time, in an MMX
// register in the Windows build). Both deliver the same bits; a reader lives for one row or scan
// on the stack and keeps its bits in a JpegBitState in between.
#pragma once

#include "jpeg/JpegByteSource.h"
#include "jpeg/JpegHuffman.h"

#include <cstdint>

struct JpegBitState {
    // Standard reader: bits left-aligned in a 32-bit buffer.
    uint32_t buffer = 0;
    int count = 0;
    // Packed reader: bits left-aligned in a 64-bit buffer.
    uint64_t packed = 0;
    int packedCount = 0;

    // At the end of an entropy-coded segment every buffered bit goes: the next header read
    // starts at the first byte the source has not delivered.
    void drop() { *this = JpegBitState(); }
};

// The standard reader: bits left-aligned in a 32-bit buffer holding 17..32 of them.
struct JpegBitReader {
    JpegByteSource& source;
    JpegBitState& state;
    uint32_t buffer;
    int count;

    JpegBitReader(JpegByteSource& source, JpegBitState& state)
        : source(source), state(state), buffer(state.buffer), count(state.count) {}
    void save() {
        state.buffer = buffer;
        state.count = count;
    }
    void leaveSimd() {}

    uint32_t word() {
        const uint8_t* p = source.unread();
        if (source.available() >= 3 && p[0] != 0xFF && p[1] != 0xFF) {
            source.advance(2);
            return (uint32_t(p[0]) << 8) | p[1];
        }
        uint32_t high = source.entropyByte();
        return (high << 8) | source.entropyByte();
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
    int decode(const JpegHuffmanDecodeTable& t) {
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
// six bytes at a time. Register supplies the 64-bit arithmetic (uint64_t, or MMX registers).
template <class Register> struct JpegPackedBitReader {
    JpegByteSource& source;
    JpegBitState& state;
    typename Register::Value buffer;
    int count;

    JpegPackedBitReader(JpegByteSource& source, JpegBitState& state)
        : source(source), state(state), buffer(Register::load(state.packed)),
          count(state.packedCount) {}
    void save() {
        state.packed = Register::store(buffer);
        state.packedCount = count;
        Register::leave();
    }
    // Before anything outside the reader runs (restarts, errors, stream reads).
    void leaveSimd() { Register::leave(); }

    void fill() {
        const uint8_t* p = source.unread();
        if (source.available() >= 12 && p[0] != 0xFF && p[1] != 0xFF && p[2] != 0xFF &&
            p[3] != 0xFF && p[4] != 0xFF && p[5] != 0xFF) {
            source.advance(6);
            buffer = Register::append(buffer, count, Register::fromBytes(p));
        } else {
            // Through the entropy byte reader, which may refill the input buffer.
            uint64_t saved = Register::store(buffer);
            Register::leave();
            uint8_t bytes[6];
            for (uint8_t& b : bytes)
                b = source.entropyByte();
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
    int decode(const JpegHuffmanDecodeTable& t) {
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

// 64-bit buffer arithmetic of the portable packed reader.
struct JpegUint64Register {
    using Value = uint64_t;
    static Value load(uint64_t v) { return v; }
    static uint64_t store(Value v) { return v; }
    static void leave() {}
    static Value fromBytes(const uint8_t* p) {
        uint64_t v = 0;
        for (int i = 0; i < 6; ++i)
            v = (v << 8) | p[i];
        return v << 16;
    }
    // count valid bits are held; the 48 new ones go right after them.
    static Value append(Value buffer, int count, Value bits48) {
        return buffer | (bits48 >> count);
    }
    static Value shiftLeft(Value v, int n) { return v << n; }
    static int top(Value v, int n) { return static_cast<int>(v >> (64 - n)); }
};
