// Huffman decode tables, the entropy readers and the decoding of interleaved sequential scans
// into the MCU-row buffer. Scans into the coefficient planes: JpegPlanes.cpp.
#include "jpeg/JpegEntropy.inl"

#include <cstring>

namespace {

// 64-bit buffer arithmetic of the portable packed reader.
struct Uint64Register {
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

} // namespace

void JpegDecoder::buildDecodeTable(int slot) {
    HuffmanDecodeTable*& table = huffTables_[slot];
    if (!table) table = static_cast<HuffmanDecodeTable*>(allocate(sizeof(HuffmanDecodeTable)));
    HuffmanDecodeTable& t = *table;
    std::memset(t.lookup, 0, sizeof t.lookup);
    std::memset(t.length, 0, sizeof t.length);
    std::memset(t.tree, 0, sizeof t.tree);
    const uint8_t* counts = huffCounts_[slot];
    const uint8_t* symbols = huffSymbols_[slot];
    int nextFree = -1;
    // A new tree node; the counts were checked against the code space, this keeps the tree
    // inside its 512 entries whatever happens.
    auto newNode = [&]() {
        if (nextFree < -511) fail(DhtCountsTooLarge);
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
                if (e >= 0) fail(DhtCountsTooLarge); // a code below another: not a prefix code
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

void JpegDecoder::primeEntropyReader() {
    if (simdBitReader_ && !usePlanes_) {
        PackedBitReader<Uint64Register> reader(*this);
        reader.prime();
        reader.save();
    } else {
        StandardBitReader reader(*this);
        reader.prime();
        reader.save();
    }
}

void JpegDecoder::dropBits() {
    bitBuffer_ = 0;
    bitCount_ = 0;
    packedBuffer_ = 0;
    packedCount_ = 0;
}

void JpegDecoder::decodeMcuRow() {
    if (simdBitReader_) {
#if LANTERNMOOR_HAVE_MMX
        if (simdTransform_)
            decodeMcuRowMmxQuantised();
        else
            decodeMcuRowMmx();
#else
        if (simdTransform_)
            decodeMcuRowWith<PackedBitReader<Uint64Register>, false>();
        else
            decodeMcuRowWith<PackedBitReader<Uint64Register>, true>();
#endif
    } else if (simdTransform_) {
        decodeMcuRowWith<StandardBitReader, false>();
    } else {
        decodeMcuRowWith<StandardBitReader, true>();
    }
}

template void JpegDecoder::decodeMcuRowWith<JpegDecoder::StandardBitReader, true>();
template void JpegDecoder::decodeMcuRowWith<JpegDecoder::StandardBitReader, false>();
