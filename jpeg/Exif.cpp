#include "jpeg/Exif.h"

#include <cstring>

namespace {

enum : uint16_t {
    TagOrientation = 0x0112,
    TagImageDescription = 0x010E,
    TagExifDirectory = 0x8769,
    TagDateTimeOriginal = 0x9003,
};
enum : uint16_t { TypeAscii = 2, TypeShort = 3, TypeLong = 4 };

// Bytes per value of the TIFF field types 1 to 12; 0 for types TIFF does not define.
size_t TypeSize(uint16_t type) {
    static const uint8_t sizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? sizes[type] : 0;
}

// The TIFF structure inside the segment; every read is checked against its end.
class Tiff {
public:
    Tiff(const uint8_t* data, size_t size, bool little)
        : data_(data), size_(size), little_(little) {}
    // Offsets and sizes in 64 bits: no sum of 32-bit file values wraps, on any host.
    bool Fits(uint64_t at, uint64_t bytes) const { return at <= size_ && bytes <= size_ - at; }
    bool Read(uint64_t at, int bytes, uint32_t& value) const {
        if (!Fits(at, static_cast<uint64_t>(bytes))) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<uint32_t>(data_[at + i]) << 8 * (little_ ? i : bytes - 1 - i);
        return true;
    }
    const uint8_t* At(uint64_t at) const { return data_ + at; }

private:
    const uint8_t* data_;
    size_t size_;
    bool little_;
};

struct Entry {
    uint16_t type = 0;
    uint32_t count = 0;
    uint64_t value = 0; // offset of the value's bytes: in the entry when they fit in 4, else
                        // where the entry points
};

enum class Lookup { Absent, Found, Damaged };

// The first entry with `tag` in the directory at `directory`. Damaged when the directory does not
// lie wholly inside the structure, or the entry's value does not.
Lookup Find(const Tiff& tiff, uint32_t directory, uint16_t tag, Entry& entry) {
    uint32_t count = 0;
    if (!tiff.Read(directory, 2, count) ||
        !tiff.Fits(directory + uint64_t{2}, uint64_t{12} * count))
        return Lookup::Damaged;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = directory + uint64_t{2} + uint64_t{12} * i;
        uint32_t entryTag = 0, type = 0;
        tiff.Read(at, 2, entryTag);
        if (entryTag != tag) continue;
        tiff.Read(at + 2, 2, type);
        tiff.Read(at + 4, 4, entry.count);
        entry.type = static_cast<uint16_t>(type);
        // A count near 2^32 times 8 bytes does not wrap in 64 bits.
        const uint64_t bytes = uint64_t{entry.count} * TypeSize(entry.type);
        uint32_t pointer = 0;
        tiff.Read(at + 8, 4, pointer);
        entry.value = bytes > 4 ? pointer : at + 8;
        if (!tiff.Fits(entry.value, bytes)) return Lookup::Damaged;
        return Lookup::Found;
    }
    return Lookup::Absent;
}

ExifText Text(const Tiff& tiff, const Entry& entry) {
    ExifText text;
    if (entry.type != TypeAscii || entry.count == 0) return text;
    const char* start = reinterpret_cast<const char*>(tiff.At(entry.value));
    const void* nul = std::memchr(start, 0, entry.count); // the count fits: Find checked it
    text.length =
        nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - start) : entry.count;
    text.text = text.length > 0 ? start : nullptr;
    return text;
}

// The TIFF structure of the one EXIF segment among the segments before the first scan. False
// when there is none, or more than one.
bool FindExifSegment(const uint8_t* file, size_t size, const uint8_t*& tiff, size_t& tiffSize) {
    if (file == nullptr || size < 4 || file[0] != 0xFF || file[1] != 0xD8) return false;
    int found = 0;
    size_t at = 2;
    while (size - at >= 4 && file[at] == 0xFF) {
        const uint8_t marker = file[at + 1];
        if (marker == 0xFF) { // a fill byte
            ++at;
            continue;
        }
        // Scan start, end of image and the markers without a length end the segments before the
        // first scan (the decoder fails on the last kind anyway).
        if (marker == 0xDA || marker == 0xD9 || marker == 0x00 || marker == 0x01 ||
            (marker >= 0xD0 && marker <= 0xD8))
            break;
        const size_t length = static_cast<size_t>(file[at + 2]) << 8 | file[at + 3];
        if (length < 2 || length > size - at - 2) break; // cut short: no further segment
        if (marker == 0xE1 && length >= 8 && std::memcmp(file + at + 4, "Exif\0\0", 6) == 0) {
            if (++found > 1) return false;
            tiff = file + at + 10;
            tiffSize = length - 8;
        }
        at += 2 + length;
    }
    return found == 1;
}

} // namespace

ExifData readExif(const uint8_t* file, size_t size) {
    const ExifData none;
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    if (!FindExifSegment(file, size, bytes, length) || length < 8) return none;
    const bool little = bytes[0] == 'I' && bytes[1] == 'I';
    if (!little && !(bytes[0] == 'M' && bytes[1] == 'M')) return none;
    const Tiff tiff(bytes, length, little);
    uint32_t magic = 0, directory0 = 0;
    tiff.Read(2, 2, magic);
    tiff.Read(4, 4, directory0);
    if (magic != 42) return none;

    // An entry's type is checked where it is used: a field of another type is ignored alone.
    Entry orientation, description, pointer, date;
    if (Find(tiff, directory0, TagOrientation, orientation) == Lookup::Damaged ||
        Find(tiff, directory0, TagImageDescription, description) == Lookup::Damaged ||
        Find(tiff, directory0, TagExifDirectory, pointer) == Lookup::Damaged)
        return none;
    ExifData data;
    uint32_t value = 0;
    if (orientation.type == TypeShort && orientation.count == 1 &&
        tiff.Read(orientation.value, 2, value) && value >= 1 && value <= 8)
        data.orientation = static_cast<int>(value);
    data.description = Text(tiff, description);
    if (pointer.type == TypeLong && pointer.count == 1 && tiff.Read(pointer.value, 4, value)) {
        if (value == directory0 || Find(tiff, value, TagDateTimeOriginal, date) == Lookup::Damaged)
            return none;
        data.dateTaken = Text(tiff, date);
    }
    return data;
}
