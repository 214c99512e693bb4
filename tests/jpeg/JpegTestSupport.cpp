#include "JpegTestSupport.h"

#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>

Bytes u8(std::initializer_list<int> values) {
    Bytes bytes;
    for (int v : values)
        bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string corpusDir() {
    return LM_JPEG_CORPUS_DIR;
}

Bytes corpusFile(const std::string& name) {
    return readFile(corpusDir() + "/" + name + ".jpg");
}

Picture readPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue;
    Picture p;
    in >> magic >> p.width >> p.height >> maxValue;
    p.channels = magic == "P6" ? 3 : 1;
    in.get(); // the one whitespace byte before the samples
    p.pixels.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return p;
}

const JpegDecoderOptions allVariants[4] = {
    {false, false}, {false, true}, {true, false}, {true, true}};

std::string describe(const JpegDecoderOptions& v) {
    return std::string(v.simdTransform ? "aan" : "integer") +
           (v.simdBitReader ? "/packed reader" : "/standard reader");
}

Decoded decode(JpegInputStream& source, const JpegDecoderOptions& variant, int failingRead,
               int refuseAllocation, bool keepPixels) {
    Decoded d;
    d.options = variant;
    d.failingRead = failingRead;
    d.refusedAllocation = refuseAllocation;
    d.broken = [](const char* what) { ADD_FAILURE() << "decoder promise broken: " << what; };
    Picture& p = d.picture;
    d.onLine = [&](int row, const uint8_t* line, int) {
        p.channels = d.bytesPerPixel == 1 ? 1 : 3;
        if (!keepPixels) return;
        p.pixels.resize(static_cast<size_t>(d.width) * d.height * p.channels);
        for (int x = 0; x < d.width; ++x)
            std::memcpy(&p.pixels[(static_cast<size_t>(row) * d.width + x) * p.channels],
                        line + x * d.bytesPerPixel, p.channels);
    };
    d.run(source);
    p.width = d.width;
    p.height = d.height;
    return d;
}

Decoded decode(const Bytes& file, const JpegDecoderOptions& variant, int failingRead,
               int refuseAllocation, bool keepPixels) {
    MemoryInputStream stream(file.data(), file.size());
    return decode(stream, variant, failingRead, refuseAllocation, keepPixels);
}

namespace {
// Index of the first byte where a and b differ, -1 when they are equal.
long firstDifference(const Bytes& a, const Bytes& b) {
    auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return at.first == a.end() && at.second == b.end() ? -1 : at.first - a.begin();
}
} // namespace

void expectPicture(const Bytes& file,
                   const std::function<Bytes(const JpegDecoderOptions&)>& expected) {
    bool progressive = false;
    for (const JpegDecoderOptions& v : allVariants) {
        if (progressive && v.simdBitReader) continue; // progressive scans take the standard one
        SCOPED_TRACE(describe(v));
        Decoded d = decode(file, v);
        progressive = d.progressive;
        ASSERT_TRUE(d.complete()) << jpegErrorName(d.errorCode);
        EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
        EXPECT_EQ(firstDifference(d.picture.pixels, expected(v)), -1);
    }
}

void expectPicture(const Bytes& file, const Bytes& pixels) {
    expectPicture(file, [&](const JpegDecoderOptions&) { return pixels; });
}

Bytes expectedBlock(const Block& block, bool simdTransform) {
    int16_t coefficients[64] = {};
    for (const auto& c : block)
        coefficients[jpegZigZag[c.first]] = static_cast<int16_t>(c.second);
    Bytes samples(64);
    if (simdTransform) {
        int16_t quant[64];
        for (int z = 0; z < 64; ++z)
            quant[z] = static_cast<int16_t>(jpegAanPrescale(z, 1));
        uint8_t* rows[8];
        for (int r = 0; r < 8; ++r)
            rows[r] = samples.data() + 8 * r;
        jpegIdctAanReference(coefficients, quant, rows);
    } else {
        jpegIdctInteger(coefficients, samples.data());
    }
    return samples;
}

void expectBlocks(const Bytes& file, const std::vector<Block>& blocks, size_t across) {
    across = across ? across : blocks.size();
    expectPicture(file, [&](const JpegDecoderOptions& v) {
        Bytes pixels(64 * blocks.size());
        for (size_t b = 0; b < blocks.size(); ++b) {
            Bytes samples = expectedBlock(blocks[b], v.simdTransform);
            for (size_t r = 0; r < 8; ++r)
                std::copy_n(&samples[8 * r], 8,
                            &pixels[((b / across) * 8 + r) * 8 * across + (b % across) * 8]);
        }
        return pixels;
    });
}

std::pair<uint32_t, int> HuffmanCode::code(int symbol) const {
    uint32_t code = 0;
    size_t k = 0;
    for (int length = 1; length <= 16; ++length, code <<= 1)
        for (int i = 0; i < counts[length - 1]; ++i, ++k, ++code)
            if (symbols[k] == symbol) return {code, length};
    throw std::logic_error("symbol not in table");
}

HuffmanCode uniformTable(int length, const std::vector<uint8_t>& symbols) {
    HuffmanCode t;
    t.counts[length - 1] = static_cast<uint8_t>(symbols.size());
    t.symbols = symbols;
    return t;
}

BitWriter& BitWriter::bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        pending_ = (pending_ << 1) | ((value >> i) & 1);
        if (++pendingBits_ == 8) {
            bytes_.push_back(static_cast<uint8_t>(pending_));
            if (pending_ == 0xFF) bytes_.push_back(0x00);
            pending_ = 0;
            pendingBits_ = 0;
        }
    }
    return *this;
}

BitWriter& BitWriter::ac(const HuffmanCode& table, int run, int value) {
    int s = 0;
    for (int a = value < 0 ? -value : value; a; a >>= 1)
        ++s;
    return symbol(table, (run << 4) | s).bits(value < 0 ? value + (1 << s) - 1 : value, s);
}

Bytes BitWriter::take() {
    if (pendingBits_ > 0) bits(0xFF, 8 - pendingBits_);
    Bytes out;
    out.swap(bytes_);
    return out;
}

JpegBuilder& JpegBuilder::dht(int tableClass, int id, const HuffmanCode& table) {
    JpegBuilder p;
    p.raw(u8({tableClass << 4 | id})).raw(Bytes(table.counts, table.counts + 16));
    return segment(0xC4, p.raw(table.symbols).bytes);
}

JpegBuilder& JpegBuilder::sof(int marker, int width, int height, const Frame& frame) {
    JpegBuilder p;
    p.raw(u8({8, height >> 8, height, width >> 8, width, static_cast<int>(frame.size())}));
    for (const auto& c : frame)
        p.raw(u8({c.id, c.h << 4 | c.v, c.quantTable}));
    return segment(marker, p.bytes);
}

JpegBuilder& JpegBuilder::sos(const Scan& scan, int start, int end, int high, int low) {
    JpegBuilder p;
    p.raw(u8({static_cast<int>(scan.size())}));
    for (const auto& c : scan)
        p.raw(u8({c.id, c.dcTable << 4 | c.acTable}));
    return segment(0xDA, p.raw(u8({start, end, high << 4 | low})).bytes);
}

const HuffmanCode& testDcTable() {
    static const HuffmanCode table =
        uniformTable(5, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    return table;
}

const HuffmanCode& testAcTable() {
    static const HuffmanCode table =
        uniformTable(8, {0x00, 0xF0, 0xE1, 0xF1, 0x11, 0x21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    return table;
}

const HuffmanCode& progressiveAcTable() {
    static const HuffmanCode table = [] {
        std::vector<uint8_t> symbols;
        for (int r = 0; r < 16; ++r)
            for (int s = 0; s <= 2; ++s)
                symbols.push_back(static_cast<uint8_t>((r << 4) | s));
        for (int s = 3; s <= 15; ++s)
            symbols.push_back(static_cast<uint8_t>(s));
        return uniformTable(8, symbols);
    }();
    return table;
}

Bytes greyFile(int width, int height, const Bytes& entropy, int restartInterval,
               const HuffmanCode& dcTable, const HuffmanCode& acTable) {
    JpegBuilder b;
    b.soi().dqt(0, 1).dht(0, 0, dcTable).dht(1, 0, acTable);
    b.sof(0xC0, width, height, {{1, 1, 1, 0}});
    if (restartInterval) b.dri(restartInterval);
    return b.sos({{1, 0, 0}}).raw(entropy).eoi().bytes;
}

Bytes validGreyFile() {
    BitWriter w;
    for (int i = 0; i < 4; ++i)
        w.dc(testDcTable(), 8 * i).ac(testAcTable(), 0, 3).symbol(testAcTable(), 0);
    return greyFile(16, 16, w.take());
}

Bytes restartFile(int blocks, const std::map<int, Bytes>& markers) {
    JpegBuilder entropy;
    for (int i = 0; i < blocks; ++i) {
        entropy.raw(BitWriter().dc(testDcTable(), 80).symbol(testAcTable(), 0).take());
        if (i + 1 < blocks)
            entropy.raw(markers.count(i) ? markers.at(i) : u8({0xFF, 0xD0 + i % 8}));
    }
    return greyFile(8 * blocks, 8, entropy.bytes, 1);
}

Bytes progressiveFile(int width, int height, const Frame& frame,
                      const std::vector<ProgressiveScan>& scans, int restartInterval) {
    JpegBuilder b;
    b.soi().dqt(0, 1).dht(0, 0, testDcTable()).dht(1, 0, progressiveAcTable());
    b.sof(0xC2, width, height, frame);
    if (restartInterval) b.dri(restartInterval);
    for (const ProgressiveScan& scan : scans)
        b.sos(scan.components, scan.start, scan.end, scan.high, scan.low).raw(scan.entropy);
    return b.eoi().bytes;
}

long findMarker(const Bytes& file, int marker) {
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == marker) return static_cast<long>(i);
    throw std::logic_error("marker not found");
}

Bytes withSegment(const Bytes& file, int marker, const Bytes& payload) {
    const long at = findMarker(file, marker), length = file[at + 2] << 8 | file[at + 3];
    JpegBuilder b;
    b.raw(Bytes(file.begin(), file.begin() + at)).segment(marker, payload);
    return b.raw(Bytes(file.begin() + at + 2 + length, file.end())).bytes;
}

Bytes insertBefore(const Bytes& file, int marker, const Bytes& bytes) {
    Bytes out(file);
    out.insert(out.begin() + findMarker(file, marker), bytes.begin(), bytes.end());
    return out;
}
