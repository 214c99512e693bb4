#include "JpegTestSupport.h"

#include "jpeg/JpegTransform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string corpusDir() {
    return LM_JPEG_CORPUS_DIR;
}

std::vector<std::string> corpusNames() {
    Bytes list = readFile(corpusDir() + "/corpus.txt");
    std::istringstream in(std::string(list.begin(), list.end()));
    std::vector<std::string> names;
    for (std::string name; in >> name;)
        names.push_back(name);
    return names;
}

Picture readPnm(const std::string& path) {
    Bytes data = readFile(path);
    size_t pos = 0;
    auto token = [&]() {
        while (pos < data.size() && std::isspace(data[pos]))
            ++pos;
        std::string t;
        while (pos < data.size() && !std::isspace(data[pos]))
            t += static_cast<char>(data[pos++]);
        return t;
    };
    Picture p;
    std::string magic = token();
    p.channels = magic == "P6" ? 3 : 1;
    p.width = std::atoi(token().c_str());
    p.height = std::atoi(token().c_str());
    token();
    ++pos;
    p.pixels.assign(data.begin() + static_cast<long>(pos), data.end());
    return p;
}

Decoded decodeBytes(const Bytes& file, const JpegDecoderOptions& options) {
    MemoryInputStream stream(file.data(), file.size());
    JpegDecoder decoder;
    decoder.begin(&stream, options);
    Decoded d;
    d.beginDecodingResult = decoder.beginDecoding();
    if (d.beginDecodingResult == 0) {
        d.picture.width = decoder.width();
        d.picture.height = decoder.height();
        d.picture.channels = decoder.bytesPerPixel() == 1 ? 1 : 3;
        const uint8_t* line;
        int length;
        while ((d.lastDecodeResult = decoder.decode(line, length)) == 0) {
            ++d.linesDelivered;
            if (d.picture.channels == 1) {
                d.picture.pixels.insert(d.picture.pixels.end(), line, line + length);
            } else {
                for (int x = 0; x < length / 4; ++x)
                    d.picture.pixels.insert(d.picture.pixels.end(), line + 4 * x, line + 4 * x + 3);
            }
        }
    }
    d.errorCode = decoder.errorCode();
    d.bytesConsumed = decoder.bytesConsumed();
    decoder.releaseAll();
    return d;
}

Decoded decodeBytes(const Bytes& file, bool useSimd) {
    JpegDecoderOptions options;
    options.simdTransform = options.simdBitReader = useSimd;
    return decodeBytes(file, options);
}

CountingStream::CountingStream(const Bytes& bytes, int failingRead)
    : inner_(bytes.data(), bytes.size()), failingRead_(failingRead) {}

int CountingStream::read(uint8_t* buffer, int maxBytes, bool& endOfStream) {
    if (reads++ == failingRead_) return -1;
    return inner_.read(buffer, maxBytes, endOfStream);
}

void* CountingHeap::allocateZeroed(size_t bytes) {
    if (++allocations == refuse_) return nullptr;
    ++outstanding;
    return std::calloc(1, bytes);
}

void CountingHeap::release(void* block) {
    --outstanding;
    std::free(block);
}

std::pair<uint32_t, int> HuffmanCode::code(uint8_t symbol) const {
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

BitWriter& BitWriter::symbol(const HuffmanCode& table, uint8_t symbol) {
    auto c = table.code(symbol);
    return bits(c.first, c.second);
}

namespace {
int category(int v) {
    int s = 0;
    for (int a = v < 0 ? -v : v; a; a >>= 1)
        ++s;
    return s;
}
uint32_t extraBits(int v, int s) {
    return static_cast<uint32_t>(v < 0 ? v + (1 << s) - 1 : v);
}
} // namespace

BitWriter& BitWriter::dc(const HuffmanCode& table, int diff) {
    int s = category(diff);
    symbol(table, static_cast<uint8_t>(s));
    return s ? bits(extraBits(diff, s), s) : *this;
}

BitWriter& BitWriter::ac(const HuffmanCode& table, int run, int value) {
    int s = category(value);
    symbol(table, static_cast<uint8_t>((run << 4) | s));
    return bits(extraBits(value, s), s);
}

Bytes BitWriter::take() {
    if (pendingBits_ > 0) bits(0xFF, 8 - pendingBits_);
    Bytes out;
    out.swap(bytes_);
    return out;
}

JpegBuilder& JpegBuilder::soi() {
    return raw({0xFF, 0xD8});
}

JpegBuilder& JpegBuilder::segment(uint8_t marker, const Bytes& payload) {
    size_t length = payload.size() + 2;
    raw({0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    return raw(payload);
}

JpegBuilder& JpegBuilder::dqt(int id, int value, bool wide) {
    Bytes p{static_cast<uint8_t>((wide ? 0x10 : 0) | id)};
    for (int i = 0; i < 64; ++i) {
        if (wide) p.push_back(static_cast<uint8_t>(value >> 8));
        p.push_back(static_cast<uint8_t>(value));
    }
    return segment(0xDB, p);
}

JpegBuilder& JpegBuilder::dht(int tableClass, int id, const HuffmanCode& table) {
    Bytes p{static_cast<uint8_t>((tableClass << 4) | id)};
    p.insert(p.end(), table.counts, table.counts + 16);
    p.insert(p.end(), table.symbols.begin(), table.symbols.end());
    return segment(0xC4, p);
}

JpegBuilder& JpegBuilder::sof(uint8_t marker, int width, int height,
                              const std::vector<FrameComponent>& components) {
    Bytes p{8,
            static_cast<uint8_t>(height >> 8),
            static_cast<uint8_t>(height),
            static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(width),
            static_cast<uint8_t>(components.size())};
    for (const auto& c : components) {
        p.push_back(static_cast<uint8_t>(c.id));
        p.push_back(static_cast<uint8_t>((c.h << 4) | c.v));
        p.push_back(static_cast<uint8_t>(c.quantTable));
    }
    return segment(marker, p);
}

JpegBuilder& JpegBuilder::dri(int interval) {
    return segment(0xDD, {static_cast<uint8_t>(interval >> 8), static_cast<uint8_t>(interval)});
}

JpegBuilder& JpegBuilder::sos(const std::vector<ScanComponent>& components) {
    Bytes p{static_cast<uint8_t>(components.size())};
    for (const auto& c : components) {
        p.push_back(static_cast<uint8_t>(c.id));
        p.push_back(static_cast<uint8_t>((c.dcTable << 4) | c.acTable));
    }
    p.insert(p.end(), {0, 63, 0});
    return segment(0xDA, p);
}

JpegBuilder& JpegBuilder::sos(const std::vector<ScanComponent>& components, int start, int end,
                              int high, int low) {
    Bytes p{static_cast<uint8_t>(components.size())};
    for (const auto& c : components) {
        p.push_back(static_cast<uint8_t>(c.id));
        p.push_back(static_cast<uint8_t>((c.dcTable << 4) | c.acTable));
    }
    p.insert(p.end(), {static_cast<uint8_t>(start), static_cast<uint8_t>(end),
                       static_cast<uint8_t>((high << 4) | low)});
    return segment(0xDA, p);
}

JpegBuilder& JpegBuilder::raw(const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

JpegBuilder& JpegBuilder::eoi() {
    return raw({0xFF, 0xD9});
}

const HuffmanCode& testDcTable() {
    static const HuffmanCode table =
        uniformTable(5, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    return table;
}

const HuffmanCode& testAcTable() {
    static const HuffmanCode table = [] {
        std::vector<uint8_t> symbols{0x00, 0xF0, 0xE1, 0xF1, 0x11, 0x21};
        for (uint8_t s = 1; s <= 10; ++s)
            symbols.push_back(s);
        return uniformTable(8, symbols);
    }();
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

Bytes progressiveFile(int width, int height, const std::vector<JpegBuilder::FrameComponent>& frame,
                      const std::vector<ProgressiveScan>& scans, int restartInterval) {
    JpegBuilder b;
    b.soi().dqt(0, 1).dht(0, 0, testDcTable()).dht(1, 0, progressiveAcTable());
    b.sof(0xC2, width, height, frame);
    if (restartInterval) b.dri(restartInterval);
    for (const ProgressiveScan& scan : scans)
        b.sos(scan.components, scan.start, scan.end, scan.high, scan.low).raw(scan.entropy);
    return b.eoi().bytes;
}

Bytes expectedBlock(const int16_t (&coefficients)[64], bool simdTransform) {
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
        int16_t block[64];
        std::memcpy(block, coefficients, sizeof block);
        jpegIdctInteger(block, samples.data());
    }
    return samples;
}

Bytes blockOf(const Picture& p, int b) {
    Bytes out;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            out.push_back(p.pixels[static_cast<size_t>(r * p.width + 8 * b + c)]);
    return out;
}

Bytes greyFile(int width, int height, const Bytes& entropy, int restartInterval) {
    JpegBuilder b;
    b.soi().dqt(0, 1).dht(0, 0, testDcTable()).dht(1, 0, testAcTable());
    b.sof(0xC0, width, height, {{1, 1, 1, 0}});
    if (restartInterval) b.dri(restartInterval);
    b.sos({{1, 0, 0}}).raw(entropy).eoi();
    return b.bytes;
}

Bytes validGreyFile() {
    BitWriter w;
    for (int i = 0; i < 4; ++i)
        w.dc(testDcTable(), 8 * i).ac(testAcTable(), 0, 3).symbol(testAcTable(), 0);
    return greyFile(16, 16, w.take());
}

namespace {
size_t findMarker(const Bytes& file, uint8_t marker) {
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == marker) return i;
    throw std::logic_error("marker not found");
}
} // namespace

Bytes withSegment(const Bytes& file, uint8_t marker, const Bytes& payload) {
    size_t at = findMarker(file, marker);
    size_t length = (static_cast<size_t>(file[at + 2]) << 8) | file[at + 3];
    Bytes out(file.begin(), file.begin() + static_cast<long>(at));
    size_t newLength = payload.size() + 2;
    out.insert(out.end(), {0xFF, marker, static_cast<uint8_t>(newLength >> 8),
                           static_cast<uint8_t>(newLength)});
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), file.begin() + static_cast<long>(at + 2 + length), file.end());
    return out;
}

Bytes insertBefore(const Bytes& file, uint8_t marker, const Bytes& bytes) {
    size_t at = findMarker(file, marker);
    Bytes out(file);
    out.insert(out.begin() + static_cast<long>(at), bytes.begin(), bytes.end());
    return out;
}
