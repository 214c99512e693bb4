#include "JpegTestSupport.h"

#include "jpeg/JpegTransform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

Bytes u8(std::initializer_list<int> values) {
    return Bytes(values.begin(), values.end());
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes corpusFile(const std::string& name) {
    return readFile(LM_JPEG_CORPUS_DIR "/" + name + ".jpg");
}

const JpegDecoderOptions allVariants[4] = {
    {false, false}, {false, true}, {true, false}, {true, true}};

DecoderRun decode(const Bytes& file, const JpegDecoderOptions& variant, int failingRead,
                  int refusedAllocation, JpegInputStream* source) {
    MemoryInputStream memory(file.data(), file.size());
    DecoderRun d;
    d.options = variant;
    d.failingRead = failingRead;
    d.refusedAllocation = refusedAllocation;
    d.broken = [](const char* what) { ADD_FAILURE() << "decoder promise broken: " << what; };
    d.run(source ? *source : memory);
    return d;
}

StoredPixels decodePixels(const Bytes& file, const JpegDecoderOptions& variant, int byLine) {
    MemoryInputStream stream(file.data(), file.size());
    JpegDecoder decoder;
    decoder.begin(&stream, variant);
    decoder.beginDecoding();
    StoredPixels stored;
    const size_t width = static_cast<size_t>(decoder.width());
    // A guard pixel after the picture shows a write past its end.
    stored.Pixels.assign(width * decoder.height() + 1, 0xDEADBEEFu);
    const uint8_t* line;
    int length;
    while (stored.Lines < byLine && decoder.decode(line, length) == 0) {
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* p = line + (decoder.bytesPerPixel() == 1 ? x : 4 * x);
            const uint32_t grey = p[0];
            stored.Pixels[stored.Lines * width + x] =
                decoder.bytesPerPixel() == 1 ? grey * 0x010101u : (p[0] << 16) | (p[1] << 8) | p[2];
        }
        ++stored.Lines;
    }
    int more = 0;
    decoder.decodePixels(stored.Pixels.data(), more);
    stored.Lines += more;
    decoder.releaseAll();
    // Only what was decoded counts; a written guard shows as one pixel more.
    const bool guardKept = stored.Pixels.back() == 0xDEADBEEFu;
    stored.Pixels.resize(width * stored.Lines);
    if (!guardKept) stored.Pixels.push_back(0);
    return stored;
}

StoredPixels pixelsOf(const DecoderRun& run) {
    StoredPixels stored;
    stored.Lines = run.lines;
    const bool grey = run.pixels.size() == static_cast<size_t>(run.width) * run.lines;
    for (size_t i = 0; i < run.pixels.size(); i += grey ? 1 : 3)
        stored.Pixels.push_back(grey ? run.pixels[i] * 0x010101u
                                     : (run.pixels[i] << 16) | (run.pixels[i + 1] << 8) |
                                           run.pixels[i + 2]);
    return stored;
}

Bytes expectedBlock(const Block& block) {
    int16_t coefficients[64] = {};
    for (const auto& c : block)
        coefficients[jpegZigZag[c.first]] = static_cast<int16_t>(c.second);
    Bytes samples(64);
    jpegIdctInteger(coefficients, samples.data());
    return samples;
}

void expectBlocks(const Bytes& file, const std::vector<Block>& blocks) {
    const size_t n = blocks.size();
    Bytes pixels(64 * n);
    for (size_t b = 0; b < n; ++b)
        for (size_t r = 0; r < 8; ++r)
            std::copy_n(&expectedBlock(blocks[b])[8 * r], 8, &pixels[(r * n + b) * 8]);
    for (bool packedReader : {false, true}) {
        const DecoderRun d = decode(file, {false, packedReader});
        if (d.progressive && packedReader) continue; // progressive scans take the standard one
        SCOPED_TRACE(packedReader ? "packed reader" : "standard reader");
        ASSERT_TRUE(d.complete()) << jpegErrorName(d.errorCode);
        EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
        auto at = std::mismatch(d.pixels.begin(), d.pixels.end(), pixels.begin(), pixels.end());
        EXPECT_TRUE(at.first == d.pixels.end() && at.second == pixels.end())
            << "first difference at " << at.first - d.pixels.begin();
    }
}

static HuffmanCode uniformTable(int length, bool ac) {
    HuffmanCode t{length, {}};
    for (int s = 0; s < (ac ? 256 : 18); ++s)
        if (!ac || (s & 15) <= 2 || s <= 15) t.Symbols.push_back(static_cast<uint8_t>(s));
    return t;
}

const HuffmanCode dcTable = uniformTable(5, false), acTable = uniformTable(8, true);

BitWriter& BitWriter::symbol(const HuffmanCode& table, int symbol) {
    const auto at = std::find(table.Symbols.begin(), table.Symbols.end(), symbol);
    if (at == table.Symbols.end()) throw std::logic_error("symbol not in table");
    return bits(static_cast<uint32_t>(at - table.Symbols.begin()), table.Length);
}

BitWriter& BitWriter::bits(uint32_t value, int count) {
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

BitWriter& BitWriter::ac(int run, int value, const HuffmanCode& table) {
    int s = 0;
    for (int a = value < 0 ? -value : value; a; a >>= 1)
        ++s;
    return symbol(table, (run << 4) | s).bits(value < 0 ? value + (1 << s) - 1 : value, s);
}

Bytes BitWriter::take() {
    if (PendingBits > 0) bits(0xFF, 8 - PendingBits);
    Bytes out;
    out.swap(Written);
    return out;
}

Bytes segment(int marker, const Bytes& payload) {
    const int length = static_cast<int>(payload.size()) + 2;
    return join({u8({0xFF, marker, length >> 8, length}), payload});
}

Bytes dqt(int id, int value) {
    return segment(0xDB, join({u8({id}), Bytes(64, static_cast<uint8_t>(value))}));
}

Bytes dht(int tableClass, int id, const HuffmanCode& table) {
    Bytes counts(16, 0);
    counts[table.Length - 1] = static_cast<uint8_t>(table.Symbols.size());
    return segment(0xC4, join({u8({tableClass << 4 | id}), counts, table.Symbols}));
}

Bytes sof(int marker, int width, int height, const Frame& frame) {
    Bytes p = u8({8, height >> 8, height, width >> 8, width, static_cast<int>(frame.size())});
    for (const auto& c : frame)
        p = join({p, u8({c.Id, c.H << 4 | c.V, c.QuantTable})});
    return segment(marker, p);
}

Bytes jpegFile(int sofMarker, int width, int height, const Frame& frame,
               const std::vector<ScanData>& scans, int restartInterval) {
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

Bytes greyFile(int width, int height, const Bytes& entropy, int restartInterval) {
    return jpegFile(0xC0, width, height, {{1, 1, 1, 0}}, {{{{1, 0, 0}}, 0, 63, 0, 0, entropy}},
                    restartInterval);
}

Bytes validGreyFile() {
    BitWriter w;
    for (int i = 0; i < 4; ++i)
        w.dc(8 * i).ac(0, 3).ac(0, 0);
    return greyFile(32, 8, w.take());
}

Bytes restartFile(int blocks, const std::map<int, Bytes>& markers) {
    Bytes entropy;
    for (int i = 0; i < blocks; ++i) {
        const Bytes next = i + 1 == blocks    ? Bytes()
                           : markers.count(i) ? markers.at(i)
                                              : u8({0xFF, 0xD0 + i % 8});
        entropy = join({entropy, BitWriter().dc(80).ac(0, 0).take(), next});
    }
    return greyFile(8 * blocks, 8, entropy, 1);
}

long findMarker(const Bytes& file, int marker) {
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == marker) return static_cast<long>(i);
    throw std::logic_error("marker not found");
}

Bytes withSegment(const Bytes& file, int marker, const Bytes& payload) {
    const long at = findMarker(file, marker), length = file[at + 2] << 8 | file[at + 3];
    return join({Bytes(file.begin(), file.begin() + at), segment(marker, payload),
                 Bytes(file.begin() + at + 2 + length, file.end())});
}

Bytes insertBefore(const Bytes& file, int marker, const Bytes& bytes) {
    Bytes out(file);
    out.insert(out.begin() + findMarker(file, marker), bytes.begin(), bytes.end());
    return out;
}
