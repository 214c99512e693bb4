// Helpers of the decoder tests: files, the checked decoding run (jpeg/fuzz/DecoderRun.h) and a
// small writer of hand-made JPEG files.
#pragma once

#include "jpeg/fuzz/DecoderRun.h"

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;
// The low 8 bits of each value.
Bytes u8(std::initializer_list<int> values);
Bytes join(std::initializer_list<Bytes> parts);
Bytes readFile(const std::string& path);
// NAME.jpg of the corpus make-corpus.sh made.
Bytes corpusFile(const std::string& name);

// The decoder's variants: transform (integer or AAN) and bit reader (standard or packed).
extern const JpegDecoderOptions allVariants[4];

// A checked run of the file (or of source) whose broken promises fail the test; the stream fails
// its failingRead-th read (from 0), the heap refuses its refusedAllocation-th block (from 1).
DecoderRun decode(const Bytes& file, const JpegDecoderOptions& variant = {}, int failingRead = -1,
                  int refusedAllocation = 0, JpegInputStream* source = nullptr);

// What decodePixels stores for the file (after the first `byLine` lines through decode, stored as
// pixels), and the lines decoded in all; and the run's lines as the same 0x00RRGGBB pixels.
struct StoredPixels {
    std::vector<uint32_t> Pixels;
    int Lines = 0;
    bool operator==(const StoredPixels& other) const {
        return Pixels == other.Pixels && Lines == other.Lines;
    }
};
StoredPixels decodePixels(const Bytes& file, const JpegDecoderOptions& variant, int byLine);
StoredPixels pixelsOf(const DecoderRun& run);

// Coefficients of a block with quantisation table all ones: {zig-zag index, value}.
using Block = std::vector<std::pair<int, int>>;
// Samples of a block as the integer transform computes them.
Bytes expectedBlock(const Block& block);
// Expects the integer transform with either bit reader (the standard one only for progressive
// files) to decode the whole file, all of it consumed, into these blocks of a grey picture one
// block high.
void expectBlocks(const Bytes& file, const std::vector<Block>& blocks);

// A Huffman table whose symbols all have codes of one length, in order: DC categories 0..17 as
// 5-bit codes; as 8-bit AC codes every run 0..15 with magnitude 0..2 (EOB, EOBr, ZRL,
// refinements) and magnitudes 3..15 at run 0.
struct HuffmanCode {
    int Length;
    std::vector<uint8_t> Symbols;
};
extern const HuffmanCode dcTable, acTable;

// Entropy-coded bits, most significant first, with FF 00 stuffing.
class BitWriter {
public:
    BitWriter& bits(uint32_t value, int count);
    BitWriter& symbol(const HuffmanCode& table, int symbol);
    // A value's symbol (run << 4 | category) and extra bits.
    BitWriter& ac(int run, int value, const HuffmanCode& table = acTable);
    BitWriter& dc(int diff) { return ac(0, diff, dcTable); }
    // Pads the last byte with one-bits; returns the bytes so far and starts anew.
    Bytes take();

private:
    Bytes Written;
    uint32_t Pending = 0;
    int PendingBits = 0;
};

Bytes segment(int marker, const Bytes& payload);
// Quantisation table id, every entry value.
Bytes dqt(int id, int value);
Bytes dht(int tableClass, int id, const HuffmanCode& table);
struct FrameComponent {
    int Id, H, V, QuantTable;
};
using Frame = std::vector<FrameComponent>;
Bytes sof(int marker, int width, int height, const Frame& frame);
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
// SOI, quantisation table 0 all ones, DC and AC tables 0, the frame, a restart interval, the
// scans and EOI.
Bytes jpegFile(int sofMarker, int width, int height, const Frame& frame,
               const std::vector<ScanData>& scans, int restartInterval = 0);
// A grey file of one sequential scan.
Bytes greyFile(int width, int height, const Bytes& entropy, int restartInterval = 0);
// A valid 32 x 8 grey file of four blocks (DC 0, 8, 24, 48; 3 at k = 1), the base of the crafted
// defects.
Bytes validGreyFile();
// A grey row of blocks with restart interval 1, each block a DC difference of 80 (level 138 only
// where the predictor is reset at every restart), and after block i RST(i % 8) unless markers
// gives other bytes there.
Bytes restartFile(int blocks, const std::map<int, Bytes>& markers = {});

// Where the first marker with this code starts.
long findMarker(const Bytes& file, int marker);
// Replaces the payload of the first segment with this marker.
Bytes withSegment(const Bytes& file, int marker, const Bytes& payload);
// Inserts bytes in front of the first marker with this code.
Bytes insertBefore(const Bytes& file, int marker, const Bytes& bytes);
