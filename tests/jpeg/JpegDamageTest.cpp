// Damaged photographs: the shipped pictures (baseline and the progressive one) cut short at every
// length on a coarse grid, and hit by seeded single-byte changes. Each damaged file must end in
// all of its lines or in a negative code, with nothing owned afterwards and the stream detached
// exactly once; the sanitizer builds watch every access on the way. The seed is fixed, so every
// run sees the same files; the fuzzer (tools/fuzz-decoder) explores further.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>

namespace {

struct Photograph {
    const char* name;
    size_t cutStep;
    int changes;
};

// Names the parameter in test listings (and so in ctest's test names).
void PrintTo(const Photograph& photograph, std::ostream* out) {
    *out << photograph.name;
}

// Decodes with every public call and checks how it ended; returns true when all lines came.
bool decodeDamaged(const Bytes& file, bool useSimd, const std::string& what) {
    SCOPED_TRACE(what + (useSimd ? " (simd)" : " (plain)"));
    CountingStream stream(file);
    CountingHeap heap;
    JpegDecoderOptions options;
    options.simdTransform = options.simdBitReader = useSimd;
    options.heap = &heap;
    JpegDecoder decoder;
    decoder.begin(&stream, options);
    int lines = 0;
    int result = decoder.beginDecoding();
    if (result == 0) {
        const uint8_t* line;
        int length;
        while ((result = decoder.decode(line, length)) == 0) {
            EXPECT_EQ(length, decoder.width() * decoder.bytesPerPixel());
            ++lines;
        }
    }
    bool complete = result == 1;
    if (complete) {
        EXPECT_EQ(decoder.errorCode(), 0);
        EXPECT_EQ(lines, decoder.height());
        EXPECT_LE(decoder.bytesConsumed(), static_cast<long>(file.size()));
    } else {
        EXPECT_TRUE(result == -1 || result == -227) << result;
        EXPECT_LT(decoder.errorCode(), 0);
        EXPECT_EQ(decoder.allocatedBlocks(), 0) << "the error path frees everything";
    }
    decoder.releaseAll();
    EXPECT_EQ(heap.outstanding, 0);
    EXPECT_EQ(stream.attaches, 1);
    EXPECT_EQ(stream.detaches, 1);
    return complete;
}

class Damage : public testing::TestWithParam<Photograph> {
protected:
    Bytes photograph() const { return readFile(corpusDir() + "/" + GetParam().name + ".jpg"); }
};

} // namespace

TEST_P(Damage, EveryCutEndsInLinesOrACode) {
    const Bytes whole = photograph();
    int cuts = 0;
    for (size_t length = 0; length < whole.size(); length += GetParam().cutStep, ++cuts) {
        Bytes file(whole.begin(), whole.begin() + static_cast<long>(length));
        decodeDamaged(file, cuts % 2 == 1, "cut at " + std::to_string(length));
    }
    EXPECT_GT(cuts, 20);
}

TEST_P(Damage, SeededByteChangesEndInLinesOrACode) {
    const Bytes whole = photograph();
    uint32_t seed = 0x4C4D4F52u; // fixed: the same files in every run
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    int complete = 0;
    for (int n = 0; n < GetParam().changes; ++n) {
        Bytes file = whole;
        // Half of the changes hit the markers and tables at the front, half anywhere.
        size_t span = n % 2 == 0 ? std::min<size_t>(whole.size(), 1024) : whole.size();
        size_t at = next() % span;
        uint8_t value = static_cast<uint8_t>(next());
        if (value == file[at]) value ^= 0x80;
        file[at] = value;
        complete += decodeDamaged(file, (n / 2) % 2 == 1,
                                  "byte " + std::to_string(at) + " = " + std::to_string(value));
    }
    EXPECT_GT(complete, 0);
    EXPECT_LT(complete, GetParam().changes);
}

// 116: 526 x 768, 2 x 2 sampling; 124: progressive, 1024 x 740, ten scans; 128: 680 x 760;
// 134: 860 x 730.
INSTANTIATE_TEST_SUITE_P(Photographs, Damage,
                         testing::Values(Photograph{"photo-116", 2048, 500},
                                         Photograph{"photo-124", 2048, 500},
                                         Photograph{"photo-128", 2048, 500},
                                         Photograph{"photo-134", 2048, 500}),
                         [](const testing::TestParamInfo<Photograph>& info) {
                             std::string name = info.param.name;
                             return name.substr(name.find('-') + 1);
                         });

TEST(Regressions, EveryInputTheFuzzerTurnedIntoACrashEndsAsRecorded) {
    const std::string dir = LM_JPEG_REGRESSIONS_DIR;
    Bytes list = readFile(dir + "/expected.txt");
    std::istringstream in(std::string(list.begin(), list.end()));
    int files = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, outcome;
        fields >> name >> outcome;
        Bytes file = readFile(dir + "/" + name);
        ++files;
        for (bool simd : {false, true}) {
            bool complete = decodeDamaged(file, simd, name);
            Decoded d = decodeBytes(file, simd);
            if (outcome == "lines") {
                EXPECT_TRUE(complete) << name << ": " << jpegErrorName(d.errorCode);
            } else {
                const char* code = jpegErrorName(d.errorCode);
                EXPECT_EQ(code ? std::string(code) : "none", outcome) << name;
            }
        }
    }
    EXPECT_GE(files, 2);
}
