// The one writer of hand-made JPEG files in the tests: segments, Huffman tables whose codes all
// have one length, entropy-coded bits with FF 00 stuffing, and whole files of given scans. The
// decoder tests write what no encoder writes with it; the pack tests their grey pictures.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace jpegfile {

using Bytes = std::vector<uint8_t>;

// The low 8 bits of each value.
inline Bytes u8(std::initializer_list<int> values) {
    return Bytes(values.begin(), values.end());
}

inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A Huffman table whose symbols all have codes of one length, in order: DC categories 0..17 as
// 5-bit codes; as 8-bit AC codes every run 0..15 with magnitude 0..2 (EOB, EOBr, ZRL,
// refinements) and magnitudes 3..15 at run 0.
struct HuffmanCode {
    int Length;
    std::vector<uint8_t> Symbols;
};

inline HuffmanCode uniformTable(int length, bool ac) {
    HuffmanCode t{length, {}};
    for (int s = 0; s < (ac ? 256 : 18); ++s)
        if (!ac || (s & 15) <= 2 || s <= 15) t.Symbols.push_back(static_cast<uint8_t>(s));
    return t;
}

inline const HuffmanCode dcTable = uniformTable(5, false), acTable = uniformTable(8, true);

// Entropy-coded bits, most significant first, with FF 00 stuffing.
class BitWriter {
public:
    BitWriter& bits(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            Pending = (Pending << 1) | ((value >> i) & 1);
            if (++PendingBits == 8) {
                Written.push_back(static_cast<uint8_t>(Pending));
                if (Pending == 0xFF) Written.push_back(0x00);
                Pending = 0;
                PendingBits = 0;
            }
        }
        return *this;
    }
    BitWriter& symbol(const HuffmanCode& table, int symbol) {
        const auto at = std::find(table.Symbols.begin(), table.Symbols.end(), symbol);
        if (at == table.Symbols.end()) throw std::logic_error("symbol not in table");
        return bits(static_cast<uint32_t>(at - table.Symbols.begin()), table.Length);
    }
    // A value's symbol (run << 4 | category) and extra bits.
    BitWriter& ac(int run, int value, const HuffmanCode& table = acTable) {
        int s = 0;
        for (int a = value < 0 ? -value : value; a; a >>= 1)
            ++s;
        return symbol(table, (run << 4) | s).bits(value < 0 ? value + (1 << s) - 1 : value, s);
    }
    BitWriter& dc(int diff) { return ac(0, diff, dcTable); }
    // Pads the last byte with one-bits; returns the bytes so far and starts anew.
    Bytes take() {
        if (PendingBits > 0) bits(0xFF, 8 - PendingBits);
        Bytes out;
        out.swap(Written);
        return out;
    }

private:
    Bytes Written;
    uint32_t Pending = 0;
    int PendingBits = 0;
};

inline Bytes segment(int marker, const Bytes& payload) {
    const int length = static_cast<int>(payload.size()) + 2;
    return join({u8({0xFF, marker, length >> 8, length}), payload});
}

// Quantisation table id, every entry value.
inline Bytes dqt(int id, int value) {
    return segment(0xDB, join({u8({id}), Bytes(64, static_cast<uint8_t>(value))}));
}

inline Bytes dht(int tableClass, int id, const HuffmanCode& table) {
    Bytes counts(16, 0);
    counts[table.Length - 1] = static_cast<uint8_t>(table.Symbols.size());
    return segment(0xC4, join({u8({tableClass << 4 | id}), counts, table.Symbols}));
}

struct FrameComponent {
    int Id, H, V, QuantTable;
};
using Frame = std::vector<FrameComponent>;

inline Bytes sof(int marker, int width, int height, const Frame& frame) {
    Bytes p = u8({8, height >> 8, height, width >> 8, width, static_cast<int>(frame.size())});
    for (const auto& c : frame)
        p = join({p, u8({c.Id, c.H << 4 | c.V, c.QuantTable})});
    return segment(marker, p);
}

// SOI, quantisation table 0 all ones, DC and AC tables 0, the frame, a restart interval, the
// scans and EOI.
struct ScanComponent {
    int Id, DcTable, AcTable;
};
// A scan's components, coefficients start..end (zig-zag), successive approximation high and
// low, and its entropy-coded bytes.
struct ScanData {
    std::vector<ScanComponent> Components;
    int Start, End, High, Low;
    Bytes Entropy;
};

inline Bytes jpegFile(int sofMarker, int width, int height, const Frame& frame,
                      const std::vector<ScanData>& scans, int restartInterval = 0) {
    Bytes file = join({u8({0xFF, 0xD8}), dqt(0, 1), dht(0, 0, dcTable), dht(1, 0, acTable),
                       sof(sofMarker, width, height, frame)});
    if (restartInterval) file = join({file, segment(0xDD, u8({0, restartInterval}))});
    for (const ScanData& scan : scans) {
        Bytes header = u8({static_cast<int>(scan.Components.size())});
        for (const auto& c : scan.Components)
            header = join({header, u8({c.Id, c.DcTable << 4 | c.AcTable})});
        header = join({header, u8({scan.Start, scan.End, scan.High << 4 | scan.Low})});
        file = join({file, segment(0xDA, header), scan.Entropy});
    }
    return join({file, u8({0xFF, 0xD9})});
}

// A grey file of one sequential scan.
inline Bytes greyFile(int width, int height, const Bytes& entropy, int restartInterval = 0) {
    return jpegFile(0xC0, width, height, {{1, 1, 1, 0}}, {{{{1, 0, 0}}, 0, 63, 0, 0, entropy}},
                    restartInterval);
}

// A grey picture of 128s (every block DC difference 0, end of block), `app` after SOI; `precision`
// bits a sample as the frame header says.
inline Bytes flatGreyFile(int width, int height, const Bytes& app = {}, int sofMarker = 0xC0,
                          int precision = 8) {
    BitWriter w;
    for (long i = static_cast<long>((width + 7) / 8) * ((height + 7) / 8); i > 0; --i)
        w.dc(0).ac(0, 0);
    Bytes file =
        jpegFile(sofMarker, width, height, {{1, 1, 1, 0}}, {{{{1, 0, 0}}, 0, 63, 0, 0, w.take()}});
    const Bytes marker = u8({0xFF, sofMarker});
    std::search(file.begin(), file.end(), marker.begin(), marker.end())[4] =
        static_cast<uint8_t>(precision);
    file.insert(file.begin() + 2, app.begin(), app.end());
    return file;
}

} // namespace jpegfile
