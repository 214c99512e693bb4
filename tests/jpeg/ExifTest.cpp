// The EXIF reader: orientation, description and date in both byte orders, and one table of
// damaged and hostile segments, every one of which counts as no EXIF data (upright). Every cut
// of a file is read as well, under the sanitizers natively and as 32-bit code under Wine.
#include "jpeg/Exif.h"
#include "tests/jpeg/ExifSegment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace exif;

namespace {

// A file start: SOI, a JFIF segment, `segments`, then a frame header and the scan.
std::string File(const std::string& segments) {
    return std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 20) + segments +
           std::string("\xFF\xC0\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00\xFF\xDA", 15);
}

// Read from a copy of exactly the file's size, so that the sanitizers see every read past it.
struct Read {
    explicit Read(const std::string& file)
        : Bytes(file.begin(), file.end()), Exif(readExif(Bytes.data(), Bytes.size())) {}
    const std::vector<uint8_t> Bytes;
    const ExifData Exif;
};

std::string Text(const ExifText& text) {
    return text.text != nullptr ? std::string(text.text, text.length) : "(none)";
}

// Orientation 6, a description and a date, in either byte order.
Tiff Full(bool little) {
    Tiff t;
    t.Little = little;
    t.First = {{0x010F, 2, 6, Tiff::Ascii("Maker")},
               {0x0112, 3, 1, t.Short(6)},
               {0x010E, 2, 15, Tiff::Ascii("Harbour, dawn")}};
    t.Exif = {{0x9003, 2, 20, Tiff::Ascii("2024:05:17 14:03:00")}};
    return t;
}

} // namespace

// Beside two readable cases, the table's every other segment counts as none.
TEST(Exif, DamagedOrHostileSegmentsCountAsNone) {
    const auto full = [] { return Full(true); };
    const auto with = [](const std::function<void(Tiff&)>& change) {
        Tiff t = Full(true);
        change(t);
        return File(Segment(t.Bytes()));
    };
    // Patches the little-endian structure at `at` (from the TIFF header) with `bytes`.
    const auto patched = [&](size_t at, const std::string& bytes) {
        std::string file = File(Segment(full().Bytes()));
        file.replace(20 + 10 + at, bytes.size(), bytes);
        return file;
    };
    const std::string segment = Segment(full().Bytes());
    const struct {
        const char* Name;
        std::string File;
        int Orientation;     // what counts
        bool HasDescription; // whether the description survives
    } cases[] = {
        {"no EXIF segment", File(""), 1, false},
        {"not at the start of a JPEG file", segment, 1, false},
        {"two EXIF segments", File(segment + segment), 1, false},
        {"an XMP segment beside it (also APP1, not a second EXIF segment)",
         File(segment + Segment("<x:xmpmeta/>", "http:/")), 6, true},
        {"fill bytes before it", File("\xFF\xFF" + segment), 6, true},
        {"no TIFF byte order", patched(0, "IM"), 1, false},
        {"not 42", patched(2, "\x2B"), 1, false},
        {"directory 0 past the end", patched(4, "\xF0\xFF\xFF\xFF"), 1, false},
        {"directory 0 at offset 2^32 - 2 (wraps in 32 bits)", patched(4, "\xFE\xFF\xFF\xFF"), 1,
         false},
        {"more entries than the segment holds", patched(8, "\xFF\x0F"), 1, false},
        {"description count of 2^32 - 1", patched(8 + 2 + 2 * 12 + 4, "\xFF\xFF\xFF\xFF"), 1,
         false},
        {"description count overflowing in 32 bits as LONGs", with([](Tiff& t) {
             t.First[2] = {0x010E, 4, 0x40000001u, t.N32(60)};
         }),
         1, false},
        {"description past the end", patched(8 + 2 + 2 * 12 + 8, std::string("\x00\xFF", 2)), 1,
         false},
        {"Exif directory past the end", with([](Tiff& t) {
             t.Exif.clear();
             t.First.push_back({0x8769, 4, 1, t.N32(0x7FFFFFF0)});
         }),
         1, false},
        {"Exif directory pointing back at directory 0 (a loop)", with([](Tiff& t) {
             t.Exif.clear();
             t.First.push_back({0x8769, 4, 1, t.N32(8)});
         }),
         1, false},
        {"orientation 0", with([](Tiff& t) { t.First[1].Data = t.Short(0); }), 1, true},
        {"orientation 9", with([](Tiff& t) { t.First[1].Data = t.Short(9); }), 1, true},
        {"orientation as a LONG", with([](Tiff& t) {
             t.First[1] = {0x0112, 4, 1, t.N32(6)};
         }),
         1, true},
        {"orientation of two values", with([](Tiff& t) { t.First[1].Count = 2; }), 1, true},
        {"description of another type", with([](Tiff& t) {
             t.First[2] = {0x010E, 7, 15, Tiff::Ascii("Harbour, dawn")};
         }),
         6, false},
        {"segment after the scan starts", File("") + segment, 1, false},
        {"fill bytes up to the end (found by the fuzzer)",
         std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x05\x04", 10) + std::string(54, '\xFF'), 1,
         false},
        {"orientation in the Exif directory only", with([](Tiff& t) {
             t.Exif.push_back(t.First[1]);
             t.First.erase(t.First.begin() + 1);
         }),
         1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ExifData exif = Read(c.File).Exif; // only the lengths are looked at
        EXPECT_EQ(exif.orientation, c.Orientation);
        EXPECT_EQ(exif.description.length > 0, c.HasDescription);
    }
    EXPECT_EQ(readExif(nullptr, 0).orientation, 1);
}

// Orientation, description and date in either byte order; every cut of the file reads the whole
// segment or none.
TEST(Exif, EveryCutOfAFileInEitherByteOrderReadsTheWholeSegmentOrNone) {
    for (const bool little : {true, false}) {
        SCOPED_TRACE(little ? "II" : "MM");
        const std::string file = File(Segment(Full(little).Bytes()));
        const size_t segmentEnd = 20 + Segment(Full(little).Bytes()).size();
        for (size_t size = 0; size <= file.size(); ++size) {
            const Read read(file.substr(0, size));
            const ExifData& exif = read.Exif;
            ASSERT_EQ(exif.orientation, size >= segmentEnd ? 6 : 1) << size << " bytes";
            if (exif.description.text != nullptr) {
                EXPECT_TRUE(exif.description.text >=
                                reinterpret_cast<const char*>(read.Bytes.data()) &&
                            exif.description.text + exif.description.length <=
                                reinterpret_cast<const char*>(read.Bytes.data()) + size);
            }
        }
        const Read whole(file);
        EXPECT_EQ(Text(whole.Exif.description), "Harbour, dawn");
        EXPECT_EQ(Text(whole.Exif.dateTaken), "2024:05:17 14:03:00");
    }
    // A short text stands in the entry itself.
    Tiff t;
    t.First = {{0x010E, 2, 4, "Abc"}};
    EXPECT_EQ(Text(Read(File(Segment(t.Bytes()))).Exif.description), "Abc");
}
