#include "jpeg/JpegHuffman.h"

#include "jpeg/JpegError.h"

#include <cstring>

void JpegHuffmanTables::define(int slot, const uint8_t counts[17], const uint8_t* symbols,
                               int count, JpegAllocationTable& blocks) {
    Slot& s = slots_[slot];
    if (!s.counts) {
        s.counts = blocks.allocateArray<uint8_t>(17);
        s.symbols = blocks.allocateArray<uint8_t>(256);
    }
    std::memcpy(s.counts, counts, 17);
    std::memset(s.symbols, 0, 256);
    std::memcpy(s.symbols, symbols, static_cast<size_t>(count));
}

void JpegHuffmanTables::buildDecodeTables(JpegAllocationTable& blocks) {
    for (Slot& slot : slots_)
        if (slot.counts) {
            if (!slot.decode) slot.decode = blocks.allocateArray<JpegHuffmanDecodeTable>(1);
            build(slot);
        }
}

void JpegHuffmanTables::build(Slot& slot) {
    JpegHuffmanDecodeTable& t = *slot.decode;
    std::memset(t.lookup, 0, sizeof t.lookup);
    std::memset(t.length, 0, sizeof t.length);
    std::memset(t.tree, 0, sizeof t.tree);
    const uint8_t* counts = slot.counts;
    const uint8_t* symbols = slot.symbols;
    int nextFree = -1;
    // A new tree node; the counts were checked against the code space, this keeps the tree
    // inside its 512 entries whatever happens.
    auto newNode = [&]() {
        if (nextFree < -511) jpegFail(DhtCountsTooLarge);
        int node = nextFree;
        nextFree -= 2;
        return node;
    };
    int code = 0;
    int si = 0;
    for (int l = 1; l <= 16; ++l, code <<= 1) {
        for (int i = 0; i < counts[l]; ++i, ++si, ++code) {
            int symbol = symbols[si];
            t.length[symbol] = static_cast<uint8_t>(l);
            if (l <= 8) {
                int first = code << (8 - l);
                for (int j = 0; j < (1 << (8 - l)); ++j)
                    t.lookup[first + j] = symbol;
                continue;
            }
            int prefix = code >> (l - 8);
            if (t.lookup[prefix] == 0) t.lookup[prefix] = newNode();
            int e = t.lookup[prefix];
            for (int bit = l - 9; bit >= 0; --bit) {
                if (e >= 0) jpegFail(DhtCountsTooLarge); // a code below another: no prefix code
                int32_t& successor = (code >> bit) & 1 ? t.tree[-e - 1] : t.tree[-e];
                if (bit == 0) {
                    successor = symbol;
                } else {
                    if (successor == 0) successor = newNode();
                    e = successor;
                }
            }
        }
    }
    for (int i = 0; i < 256; ++i) {
        int e = t.lookup[i];
        t.fast[i] = static_cast<int16_t>(e >= 0 ? (t.length[e] << 8) | e : -1);
    }
    // Exactly what the symbol and its extra bits decode to on the ordinary path, precomputed.
    for (int i = 0; i < 1024; ++i) {
        int e = t.lookup[i >> 2];
        t.fastAc[i] = 0;
        if (e < 0) continue;
        int length = t.length[e];
        int magnitude = e & 15;
        if (length == 0) continue; // a pattern no code reaches: the ordinary path decides
        if (magnitude == 0) {
            // EOB and ZRL: value 0 tells them from coefficients.
            if (e == 0x00 || e == 0xF0) t.fastAc[i] = ((e >> 4) << 8) | length;
            continue;
        }
        if (length + magnitude > 10) continue;
        int extra = (i >> (10 - length - magnitude)) & ((1 << magnitude) - 1);
        int value = jpeg_entropy::extend(extra, magnitude);
        t.fastAc[i] = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) | ((e >> 4) << 8) |
                      (length + magnitude);
    }
}
