// Damaged files: the shipped photographs (baseline and the progressive one) and two small
// pictures (restart interval 1; 2 x 2 sampling) cut short at every length on a coarse grid, and
// hit by seeded changes of single bytes (of up to four in the small pictures). Each damaged file
// must end in all of its lines or in a negative code, with nothing owned afterwards and the
// stream detached exactly once (decode checks it); the sanitizer builds watch every access on
// the way. The seed is fixed, so every run sees the same files; the fuzzer (tools/fuzz-decoder)
// explores further.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <ostream>

namespace {

struct Damaged {
    const char* name;
    size_t cutStep;
    int changes;
    int bytesPerChange; // up to
};

// Names the parameter in test listings (and so in ctest's test names).
void PrintTo(const Damaged& damaged, std::ostream* out) {
    *out << damaged.name;
}

class Damage : public testing::TestWithParam<Damaged> {};

} // namespace

TEST_P(Damage, EveryCutEndsInLinesOrACode) {
    const Bytes whole = corpusFile(GetParam().name);
    int cuts = 0;
    for (size_t length = 0; length < whole.size(); length += GetParam().cutStep, ++cuts) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        decode(Bytes(whole.begin(), whole.begin() + static_cast<long>(length)),
               {cuts % 2 == 1, cuts % 2 == 1}, -1, 0, false);
    }
    EXPECT_GT(cuts, 20);
}

TEST_P(Damage, SeededByteChangesEndInLinesOrACode) {
    const Bytes whole = corpusFile(GetParam().name);
    uint32_t seed = 0x4C4D4F52u; // fixed: the same files in every run
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    int complete = 0;
    for (int n = 0; n < GetParam().changes; ++n) {
        Bytes file = whole;
        std::string what;
        for (int i = 0; i <= n % GetParam().bytesPerChange; ++i) {
            // Half of the changes hit the markers and tables at the front, half anywhere.
            size_t at = next() % (n % 2 == 0 ? std::min<size_t>(whole.size(), 1024) : whole.size());
            uint8_t value = static_cast<uint8_t>(next());
            file[at] = value == file[at] ? value ^ 0x80 : value;
            what += " byte " + std::to_string(at) + " = " + std::to_string(file[at]);
        }
        SCOPED_TRACE(what);
        const bool useSimd = (n / 2) % 2 == 1;
        complete += decode(file, {useSimd, useSimd}, -1, 0, false).complete();
    }
    EXPECT_GT(complete, 0);
    EXPECT_LT(complete, GetParam().changes);
}

// 116: 526 x 768, 2 x 2 sampling; 124: progressive, 1024 x 740, ten scans; 128: 680 x 760;
// 134: 860 x 730.
INSTANTIATE_TEST_SUITE_P(
    Files, Damage,
    testing::Values(Damaged{"photo-116", 2048, 500, 1}, Damaged{"photo-124", 2048, 500, 1},
                    Damaged{"photo-128", 2048, 500, 1}, Damaged{"photo-134", 2048, 500, 1},
                    Damaged{"s33x47-restart1-grey", 16, 800, 4}, Damaged{"s17x15-2x2", 16, 800, 4}),
    [](const testing::TestParamInfo<Damaged>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(Regressions, EveryInputTheFuzzerTurnedIntoACrashEndsAsRecorded) {
    const std::string dir = LM_JPEG_REGRESSIONS_DIR;
    std::ifstream in(dir + "/expected.txt");
    int files = 0;
    for (std::string name, outcome; in >> name;) {
        if (name[0] == '#') {
            std::getline(in, name);
            continue;
        }
        in >> outcome;
        Bytes file = readFile(dir + "/" + name);
        ++files;
        for (bool useSimd : {false, true}) {
            SCOPED_TRACE(name + (useSimd ? " (simd)" : " (plain)"));
            Decoded d = decode(file, {useSimd, useSimd});
            const char* code = jpegErrorName(d.errorCode);
            EXPECT_EQ(d.complete() ? "lines" : code ? code : "none", outcome);
        }
    }
    EXPECT_GE(files, 2);
}
