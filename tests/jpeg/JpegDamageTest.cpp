// Damaged files: shipped photographs of each layout (2 x 2 and 2 x 1 baseline, progressive) and a
// small grey picture with restart interval 1, cut short at every length on a coarse grid and hit
// by seeded changes of single bytes (of up to four in the small picture). Each damaged file must
// end in all of its lines or in a negative code, with nothing owned afterwards and the stream
// detached exactly once (the checked run watches it); the sanitizer builds watch every access on
// the way. The seed is fixed, so every run sees the same files; the fuzzer explores further.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

TEST(Damage, EveryCutAndEveryChangedByteEndsInLinesOrACode) {
    const struct {
        const char* name;
        size_t cutStep;
        int changes, bytesPerChange; // up to
    } files[] = {{"photo-116", 2048, 500, 1},
                 {"photo-124", 2048, 500, 1},
                 {"photo-128", 2048, 500, 1},
                 {"s33x47-restart1-grey", 16, 800, 4}};
    for (const auto& f : files) {
        const Bytes whole = corpusFile(f.name);
        uint32_t seed = 0x4C4D4F52u;
        auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
        int complete = 0, n = 0;
        for (size_t length = 0; length < whole.size(); length += f.cutStep, ++n) {
            SCOPED_TRACE(std::string(f.name) + " cut at " + std::to_string(length));
            const bool useSimd = n % 2 == 1;
            decode(Bytes(whole.begin(), whole.begin() + static_cast<long>(length)),
                   {useSimd, useSimd}, -1, 0, false);
        }
        for (n = 0; n < f.changes; ++n) {
            Bytes file = whole;
            std::string what = f.name;
            for (int i = 0; i <= n % f.bytesPerChange; ++i) {
                // Half of the changes hit the markers and tables at the front, half anywhere.
                size_t at =
                    next() % (n % 2 == 0 ? std::min<size_t>(whole.size(), 1024) : whole.size());
                uint8_t value = static_cast<uint8_t>(next());
                file[at] = value == file[at] ? value ^ 0x80 : value;
                what += " byte " + std::to_string(at) + " = " + std::to_string(file[at]);
            }
            SCOPED_TRACE(what);
            const bool useSimd = (n / 2) % 2 == 1;
            complete += decode(file, {useSimd, useSimd}, -1, 0, false).complete();
        }
        EXPECT_GT(complete, 0) << f.name;
        EXPECT_LT(complete, f.changes) << f.name;
    }
}

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
            Decoded d = decode(file, {useSimd, useSimd});
            const char* code = jpegErrorName(d.errorCode);
            EXPECT_EQ(d.complete() ? "lines" : code ? code : "none", outcome) << name << useSimd;
        }
    }
    EXPECT_GE(files, 2);
}
