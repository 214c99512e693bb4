// The entropy bit readers over the byte source. Two buffering rules exist, and each decides when
// bytes are taken from the source (which the restart handling and the end of a scan can see):
//
// - the standard reader: a 32-bit buffer that takes two bytes whenever 16 or fewer bits are
//   left after a read;
// - the packed reader: a 64-bit buffer that takes six bytes whenever fewer than 16 bits are left.
//
// A reader lives on the stack for one row or scan and keeps its bits in a JpegBitState in
// between.
#pragma once

#include "jpeg/JpegByteSource.h"
#include "jpeg/JpegHuffman.h"

#include <cstdint>
#include <cstring>

struct JpegBitState {
    // Standard reader: bits left-aligned in a 32-bit buffer.
    uint32_t buffer = 0;
    int count = 0;
    // Packed reader: its 64-bit buffer as a 32-bit window of the first bits (at least 16 valid
    // after every read) and the reserve behind them, left-aligned; the bits after each count are
    // 0.
    uint32_t window = 0;
    int windowBits = 0;
    uint64_t reserve = 0;
    int reserveBits = 0;

    // At the end of an entropy-coded segment every buffered bit goes: the next header read
    // starts at the first byte the source has not delivered.
    void drop() { *this = JpegBitState(); }
};

// The packed reader: the window in a general register while a row is decoded, the reserve in
// memory. Six bytes are taken exactly when the 64-bit buffer would take them: when fewer than 16
// bits are left in all.
struct JpegPackedBitReader {
    JpegByteSource& source;
    JpegBitState& state;
    uint32_t window;
    int windowBits;

    JpegPackedBitReader(JpegByteSource& source, JpegBitState& state)
        : source(source), state(state), window(state.window), windowBits(state.windowBits) {}
    void save() {
        state.window = window;
        state.windowBits = windowBits;
    }

    // Tops the window up from the reserve, which first takes six bytes when the whole buffer
    // holds fewer than 16 bits.
    void topUp() {
        if (windowBits + state.reserveBits < 16) {
            state.reserve |= (takeSix() << 16) >> state.reserveBits;
            state.reserveBits += 48;
        }
        window |= static_cast<uint32_t>(state.reserve >> 32) >> windowBits;
        const int taken = 32 - windowBits < state.reserveBits ? 32 - windowBits : state.reserveBits;
        state.reserve <<= taken;
        state.reserveBits -= taken;
        windowBits += taken;
    }
    // The next six entropy bytes, the first in bits 40..47: at once when none of them is FF.
    uint64_t takeSix() {
        const uint8_t* p = source.unread();
        uint64_t bits = 0;
        if (source.available() >= 12) {
            uint32_t first;
            std::memcpy(&first, p, 4);
            // A byte of FF is a byte of 0 in the complement.
            const uint32_t inverse = ~first;
            if (((inverse - 0x01010101u) & ~inverse & 0x80808080u) == 0 && p[4] != 0xFF &&
                p[5] != 0xFF) {
                source.advance(6);
                for (int i = 0; i < 6; ++i)
                    bits = (bits << 8) | p[i];
                return bits;
            }
        }
        // Through the entropy byte reader, which may refill the input buffer.
        for (int i = 0; i < 6; ++i)
            bits = (bits << 8) | source.entropyByte();
        return bits;
    }
    void prime() {
        window = 0;
        windowBits = 0;
        state.reserve = 0;
        state.reserveBits = 0;
        topUp();
    }
    int peek10() const { return static_cast<int>(window >> 22); }
    void consume(int n) {
        window <<= n;
        windowBits -= n;
        if (windowBits < 16) topUp();
    }
    // 1..16 bits.
    int bits(int n) {
        int r = static_cast<int>(window >> (32 - n));
        consume(n);
        return r;
    }
    int decode(const JpegHuffmanDecodeTable& t) {
        const int peek = static_cast<int>(window >> 16);
        const int fast = t.fast[peek >> 8];
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

// The standard reader: bits left-aligned in a 32-bit buffer of count bits (17..32 after every
// read), two bytes appended whenever 16 or fewer are left.
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
    // The next two entropy bytes.
    uint32_t word() {
        const uint8_t* p = source.unread();
        if (source.available() >= 3 && p[0] != 0xFF && p[1] != 0xFF) {
            source.advance(2);
            return (uint32_t(p[0]) << 8) | p[1];
        }
        const uint32_t high = source.entropyByte();
        return (high << 8) | source.entropyByte();
    }
    void prime() {
        const uint32_t high = word();
        buffer = (high << 16) | word();
        count = 32;
    }
    int peek10() const { return static_cast<int>(buffer >> 22); }
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
