// Helpers of the decoder tests: files, the decoding run that checks the decoder's promises on the
// way (jpeg/fuzz/DecoderRun.h), and a small writer of hand-made JPEG files.
#pragma once

#include "jpeg/fuzz/DecoderRun.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;
// Bytes of the low 8 bits of each value.
Bytes u8(std::initializer_list<int> values);

Bytes readFile(const std::string& path);
// The directory the corpus script filled (a Z: path under Wine), and its NAME.jpg.
std::string corpusDir();
Bytes corpusFile(const std::string& name);

struct Picture {
    int width = 0, height = 0, channels = 0; // channels: 1 grey, 3 RGB
    Bytes pixels;
};
Picture readPnm(const std::string& path);

// The decoder's variants: transform (integer or AAN) and bit reader (standard or packed).
extern const JpegDecoderOptions allVariants[4];
std::string describe(const JpegDecoderOptions& variant);

struct Decoded : DecoderRun {
    // Size from begin; pixels as R,G,B (or grey) without the pad byte.
    Picture picture;
};

// A checked run (DecoderRun) whose broken promises fail the test. The stream fails its
// failingRead-th read, the heap refuses its refuseAllocation-th block (counting from 1).
Decoded decode(JpegInputStream& source, const JpegDecoderOptions& variant, int failingRead = -1,
               int refuseAllocation = 0, bool keepPixels = true);
Decoded decode(const Bytes& file, const JpegDecoderOptions& variant = {}, int failingRead = -1,
               int refuseAllocation = 0, bool keepPixels = true);

// Expects every variant (the standard reader only for progressive files) to decode the whole
// file, all of it consumed, into the pixels expected gives for it.
void expectPicture(const Bytes& file,
                   const std::function<Bytes(const JpegDecoderOptions&)>& expected);
void expectPicture(const Bytes& file, const Bytes& pixels);
// Coefficients of a block with quantisation table all ones: {zig-zag index, value}.
using Block = std::vector<std::pair<int, int>>;
// Samples of a block as the variant's transform computes them.
Bytes expectedBlock(const Block& block, bool simdTransform);
// Expects the blocks of a grey file, left to right and top to bottom, across to a row (0: all).
void expectBlocks(const Bytes& file, const std::vector<Block>& blocks, size_t across = 0);

// Canonical Huffman code of a table given by counts (lengths 1..16) and symbols, T.81 C.2.
struct HuffmanCode {
    uint8_t counts[16] = {};
    std::vector<uint8_t> symbols;
    // Code and length of a symbol.
    std::pair<uint32_t, int> code(int symbol) const;
};
// Every symbol with a code of the given length, in order.
HuffmanCode uniformTable(int length, const std::vector<uint8_t>& symbols);

// Entropy-coded bits, most significant first, with FF 00 stuffing.
class BitWriter {
public:
    BitWriter& bits(uint32_t value, int count);
    BitWriter& symbol(const HuffmanCode& table, int symbol) {
        auto c = table.code(symbol);
        return bits(c.first, c.second);
    }
    // Category and extra bits of a value (T.81 F.1.2.1), after its symbol (run << 4 | category).
    BitWriter& dc(const HuffmanCode& table, int diff) { return ac(table, 0, diff); }
    BitWriter& ac(const HuffmanCode& table, int run, int value);
    // Pads the last byte with one-bits; returns the bytes so far and starts anew.
    Bytes take();

private:
    Bytes bytes_;
    uint32_t pending_ = 0;
    int pendingBits_ = 0;
};

class JpegBuilder {
public:
    struct FrameComponent {
        int id, h, v, quantTable;
    };
    struct ScanComponent {
        int id, dcTable, acTable;
    };

    JpegBuilder& raw(const Bytes& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    JpegBuilder& soi() { return raw({0xFF, 0xD8}); }
    JpegBuilder& eoi() { return raw({0xFF, 0xD9}); }
    JpegBuilder& segment(int marker, const Bytes& payload) {
        const int length = static_cast<int>(payload.size()) + 2;
        return raw(u8({0xFF, marker, length >> 8, length})).raw(payload);
    }
    JpegBuilder& dqt(int id, int value) {
        Bytes p(65, static_cast<uint8_t>(value));
        p[0] = static_cast<uint8_t>(id);
        return segment(0xDB, p);
    }
    JpegBuilder& dht(int tableClass, int id, const HuffmanCode& table);
    JpegBuilder& sof(int marker, int width, int height, const std::vector<FrameComponent>& frame);
    JpegBuilder& dri(int interval) { return segment(0xDD, u8({interval >> 8, interval})); }
    // Coefficients start..end (zig-zag), successive approximation high and low.
    JpegBuilder& sos(const std::vector<ScanComponent>& scan, int start = 0, int end = 63,
                     int high = 0, int low = 0);
    Bytes bytes;
};
using Frame = std::vector<JpegBuilder::FrameComponent>;
using Scan = std::vector<JpegBuilder::ScanComponent>;

// The tables of the hand-made files: DC categories 0..17 as 5-bit codes; AC symbols EOB, ZRL,
// 0xE1, 0xF1, 0x11, 0x21 and 1..10 as 8-bit codes; and for progressive files every run 0..15
// with magnitude 0..2 (EOBr, ZRL, refinement symbols) and magnitudes 3..15 at run 0, 8 bits.
const HuffmanCode& testDcTable();
const HuffmanCode& testAcTable();
const HuffmanCode& progressiveAcTable();

// A grey picture of w x h whose blocks are given by their entropy-coded bits; quantisation
// table 0 all ones, testDcTable and testAcTable (or the tables given) as tables 0.
Bytes greyFile(int width, int height, const Bytes& entropy, int restartInterval = 0,
               const HuffmanCode& dcTable = testDcTable(),
               const HuffmanCode& acTable = testAcTable());
// A valid 16 x 16 grey file, the base of the crafted defects.
Bytes validGreyFile();
// A grey row of blocks with restart interval 1, each block a DC difference of 80 (level 138 only
// where the predictor is reset at every restart), and after block i RST(i % 8) unless markers
// gives other bytes there.
Bytes restartFile(int blocks, const std::map<int, Bytes>& markers = {});

// One scan of a hand-made progressive file: its header fields and entropy-coded bytes.
struct ProgressiveScan {
    Scan components;
    int start, end, high, low;
    Bytes entropy;
};
// A progressive (SOF2) file: quantisation table 0 all ones, testDcTable and progressiveAcTable
// as tables 0, the given frame components and scans, then EOI.
Bytes progressiveFile(int width, int height, const Frame& frame,
                      const std::vector<ProgressiveScan>& scans, int restartInterval = 0);

// Where the first marker with this code starts.
long findMarker(const Bytes& file, int marker);
// Replaces the payload of the first segment with this marker.
Bytes withSegment(const Bytes& file, int marker, const Bytes& payload);
// Inserts bytes in front of the first marker with this code.
Bytes insertBefore(const Bytes& file, int marker, const Bytes& bytes);
