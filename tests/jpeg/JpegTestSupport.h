// Helpers of the decoder tests: files, decoding into a picture, instrumented streams and heaps,
// and a small writer of hand-made JPEG files.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

Bytes readFile(const std::string& path);
// The directory the corpus script filled (a Z: path under Wine).
std::string corpusDir();
std::vector<std::string> corpusNames();

struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0; // 1 grey, 3 RGB
    Bytes pixels;
};
Picture readPnm(const std::string& path);

struct Decoded {
    int beginDecodingResult = 0;
    int lastDecodeResult = 0;
    int errorCode = 0;
    int linesDelivered = 0;
    long bytesConsumed = 0;
    Picture picture;
};
// Every public call in order, then releaseAll; pixels as R,G,B (or grey) without the pad byte.
Decoded decodeBytes(const Bytes& file, const JpegDecoderOptions& options);
Decoded decodeBytes(const Bytes& file, bool useSimd);

// A memory stream that counts attach and detach and can fail its n-th read.
class CountingStream : public JpegInputStream {
public:
    explicit CountingStream(const Bytes& bytes, int failingRead = -1);
    int read(uint8_t* buffer, int maxBytes, bool& endOfStream) override;
    void attach() override { ++attaches; }
    void detach() override { ++detaches; }
    int attaches = 0;
    int detaches = 0;
    int reads = 0;

private:
    MemoryInputStream inner_;
    int failingRead_;
};

// A heap that counts blocks and can refuse the n-th allocation (counting from 1).
class CountingHeap : public JpegHeap {
public:
    explicit CountingHeap(int refuse = 0) : refuse_(refuse) {}
    void* allocateZeroed(size_t bytes) override;
    void release(void* block) override;
    int allocations = 0;
    int outstanding = 0;

private:
    int refuse_;
};

// Canonical Huffman code of a table given by counts (lengths 1..16) and symbols, T.81 C.2.
struct HuffmanCode {
    uint8_t counts[16] = {};
    std::vector<uint8_t> symbols;
    // Code and length of a symbol.
    std::pair<uint32_t, int> code(uint8_t symbol) const;
};
// Every symbol with a code of the given length, in order.
HuffmanCode uniformTable(int length, const std::vector<uint8_t>& symbols);

// Entropy-coded bits, most significant first, with FF 00 stuffing.
class BitWriter {
public:
    BitWriter& bits(uint32_t value, int count);
    BitWriter& symbol(const HuffmanCode& table, uint8_t symbol);
    // Category and extra bits of a value (T.81 F.1.2.1), after its symbol.
    BitWriter& dc(const HuffmanCode& table, int diff);
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
        int id;
        int h;
        int v;
        int quantTable;
    };
    struct ScanComponent {
        int id;
        int dcTable;
        int acTable;
    };

    JpegBuilder& soi();
    JpegBuilder& segment(uint8_t marker, const Bytes& payload);
    JpegBuilder& dqt(int id, int value, bool wide = false);
    JpegBuilder& dht(int tableClass, int id, const HuffmanCode& table);
    JpegBuilder& sof(uint8_t marker, int width, int height, const std::vector<FrameComponent>& c);
    JpegBuilder& dri(int interval);
    JpegBuilder& sos(const std::vector<ScanComponent>& components);
    // A progressive scan header: coefficients start..end (zig-zag), successive approximation
    // high and low.
    JpegBuilder& sos(const std::vector<ScanComponent>& components, int start, int end, int high,
                     int low);
    JpegBuilder& raw(const Bytes& bytes);
    JpegBuilder& eoi();
    Bytes bytes;
};

// The small tables of the hand-made files: DC categories 0..16 as 5-bit codes, and AC symbols
// as 8-bit codes.
const HuffmanCode& testDcTable();
const HuffmanCode& testAcTable();

// The AC table of the hand-made progressive files: every run 0..15 with magnitude 0..2 (EOBr,
// ZRL, refinement symbols) and magnitudes 3..15 at run 0, all as 8-bit codes.
const HuffmanCode& progressiveAcTable();

// One scan of a hand-made progressive file: its header fields and its entropy-coded bytes
// (restart markers included).
struct ProgressiveScan {
    std::vector<JpegBuilder::ScanComponent> components;
    int start;
    int end;
    int high;
    int low;
    Bytes entropy;
};
// A progressive (SOF2) file: quantisation table 0 all ones, testDcTable as DC table 0 and
// progressiveAcTable as AC table 0, the given frame components and scans, then EOI.
Bytes progressiveFile(int width, int height, const std::vector<JpegBuilder::FrameComponent>& frame,
                      const std::vector<ProgressiveScan>& scans, int restartInterval = 0);

// Samples of one block with quantisation table all ones, as each transform computes them.
Bytes expectedBlock(const int16_t (&coefficients)[64], bool simdTransform);
// Pixels of block column b of an 8-line grey picture.
Bytes blockOf(const Picture& picture, int b);

// A grey picture of w x h whose blocks are given by their entropy-coded bits; all tables
// defined (quantisation table 0 all ones, DC and AC table 0).
Bytes greyFile(int width, int height, const Bytes& entropy, int restartInterval = 0);
// A valid 16 x 16 grey file, the base of the crafted defects.
Bytes validGreyFile();

// Replaces the payload of the first segment with this marker.
Bytes withSegment(const Bytes& file, uint8_t marker, const Bytes& payload);
// Inserts bytes in front of the first marker with this code.
Bytes insertBefore(const Bytes& file, uint8_t marker, const Bytes& bytes);
