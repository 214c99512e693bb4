// Huffman tables: the counts and symbols of each of the eight slots as the DHT segments define
// them, and the decode tables built from them at every scan start.
#pragma once

#include "jpeg/JpegAllocation.h"

#include <cstdint>

struct JpegHuffmanDecodeTable {
    // >= 0: the symbol of a code of at most 8 bits; < 0: a tree entry for longer codes.
    int32_t lookup[256];
    // Code length per symbol (0: the symbol has no code).
    uint8_t length[256];
    // Bit 1 goes to tree[-e - 1], bit 0 to tree[-e]; >= 0 is the symbol.
    int32_t tree[512];
    // lookup and length folded: (length << 8) | symbol for codes of at most 8 bits (and for
    // patterns no code reaches), -1 where the tree takes over.
    int16_t fast[256];
    // AC symbols with a magnitude whose code and extra bits fit the next 10 bits, decoded
    // at once: (value << 16) | (run << 8) | bits taken; 0 where the symbol takes the
    // ordinary path.
    int32_t fastAc[1024];
};

namespace jpeg_entropy {

// T.81 F.2.2.1 EXTEND: r read as an s-bit number.
inline int extend(int r, int s) {
    return r < (1 << (s - 1)) ? r - (1 << s) + 1 : r;
}

} // namespace jpeg_entropy

class JpegHuffmanTables {
public:
    // Slots 0..3 hold DC tables, 4..7 AC tables.
    static constexpr int kSlots = 8;

    // Slot 0..7 defined; false for any other number.
    bool defined(int slot) const { return slot >= 0 && slot < kSlots && slots_[slot].counts; }
    // Copies counts[0..16] (counts[0] is 0) and `count` symbols into the slot, allocating its
    // arrays on first definition; a later definition reuses them.
    void define(int slot, const uint8_t counts[17], const uint8_t* symbols, int count,
                JpegAllocationTable& blocks);
    // Builds the decode table of every defined slot (allocated on first build).
    void buildDecodeTables(JpegAllocationTable& blocks);
    // Null for a slot without a built table, or a number outside 0..7.
    const JpegHuffmanDecodeTable* decodeTable(int slot) const {
        return slot >= 0 && slot < kSlots ? slots_[slot].decode : nullptr;
    }

private:
    struct Slot {
        uint8_t* counts = nullptr;
        uint8_t* symbols = nullptr;
        JpegHuffmanDecodeTable* decode = nullptr;
    };
    static void build(Slot& slot);

    Slot slots_[kSlots];
};
