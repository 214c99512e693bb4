// EXIF segments written by the tests: a TIFF structure of chosen entries in either byte order,
// wrapped in an APP1 segment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exif {

struct Field {
    uint16_t Tag;
    uint16_t Type; // 2 ASCII, 3 SHORT, 4 LONG
    uint32_t Count;
    std::string Data; // the value's bytes in the file's byte order; more than 4 go after the
                      // directories
};

// A TIFF structure: directory 0 at offset 8 with `first`, and when `exif` is not empty the Exif
// directory after it, pointed to from directory 0.
struct Tiff {
    bool Little = true;
    std::vector<Field> First, Exif;

    std::string N16(uint32_t v) const {
        return Little ? std::string{char(v), char(v >> 8)} : std::string{char(v >> 8), char(v)};
    }
    std::string N32(uint32_t v) const {
        return Little ? N16(v) + N16(v >> 16) : N16(v >> 16) + N16(v);
    }
    std::string Short(uint32_t v) const { return N16(v) + N16(0); }
    static std::string Ascii(const std::string& text) { return text + '\0'; }

    std::string Bytes() const {
        std::vector<Field> first = First;
        const uint32_t firstSize = 2 + 12 * static_cast<uint32_t>(first.size() + !Exif.empty()) + 4;
        if (!Exif.empty()) first.push_back({0x8769, 4, 1, N32(8 + firstSize)});
        const uint32_t exifSize =
            Exif.empty() ? 0 : 2 + 12 * static_cast<uint32_t>(Exif.size()) + 4;
        uint32_t data = 8 + firstSize + exifSize;
        std::string values;
        const auto directory = [&](const std::vector<Field>& fields) {
            std::string d = N16(static_cast<uint32_t>(fields.size()));
            for (const Field& f : fields) {
                d += N16(f.Tag) + N16(f.Type) + N32(f.Count);
                if (f.Data.size() <= 4) {
                    d += f.Data + std::string(4 - f.Data.size(), '\0');
                } else {
                    d += N32(data + static_cast<uint32_t>(values.size()));
                    values += f.Data;
                }
            }
            return d + N32(0);
        };
        std::string out = (Little ? "II" : "MM") + N16(42) + N32(8) + directory(first);
        if (!Exif.empty()) out += directory(Exif);
        return out + values;
    }
};

// The APP1 segment of `tiff`, its first six bytes `kind`.
inline std::string Segment(const std::string& tiff, const char* kind = "Exif\0\0") {
    const std::string body = std::string(kind, 6) + tiff;
    const size_t length = body.size() + 2;
    return std::string("\xFF\xE1", 2) + char(length >> 8) + char(length) + body;
}

// The segment of the tests' common case: orientation, and the description and date when given.
inline std::string Orientation(int value, bool little, const std::string& description = "",
                               const std::string& date = "") {
    Tiff t;
    t.Little = little;
    t.First = {{0x0112, 3, 1, t.Short(static_cast<uint32_t>(value))}};
    if (!description.empty())
        t.First.push_back(
            {0x010E, 2, static_cast<uint32_t>(description.size() + 1), Tiff::Ascii(description)});
    if (!date.empty()) t.Exif = {{0x9003, 2, 20, Tiff::Ascii(date)}};
    return Segment(t.Bytes());
}

} // namespace exif
