// What the screen saver reads of a JPEG file's EXIF data: the orientation the camera recorded
// (how the stored picture is to be turned to stand upright), the picture's description and the
// date it was taken. Read from the file's bytes in memory, apart from the decoder, which skips
// the segment that holds them.
//
// The EXIF data is the APP1 segment beginning "Exif\0\0" among the segments before the first
// scan: a TIFF structure (byte order "II" or "MM", the number 42, the offset of directory 0)
// whose directory 0 holds Orientation (tag 0x0112, a SHORT), ImageDescription (0x010E, ASCII)
// and the offset of the Exif directory (0x8769, a LONG), which holds DateTimeOriginal (0x9003,
// ASCII). Only these two directories are read, each once; no chain of directories is followed,
// so no file can hold the reader in a loop.
//
// Anything wrong with the structure counts as no EXIF data at all (upright, no description, no
// date), never as a fault of the picture: a segment cut short, two EXIF segments, a directory or
// a value outside the segment, a count whose size in bytes does not fit, the Exif directory
// pointing back at directory 0. An orientation that is not one SHORT from 1 to 8 counts as
// upright on its own; so does a description or date of another type as none.
#pragma once

#include <cstddef>
#include <cstdint>

// Text inside the file's bytes, up to its first NUL; no text has length 0.
struct ExifText {
    const char* text = nullptr;
    size_t length = 0;
};

struct ExifData {
    // 1 upright, 2 mirrored, 3 upside down, 4 mirrored upside down, 5 to 8 on its side (see
    // imaging/Orientation.h).
    int orientation = 1;
    ExifText description;
    // "YYYY:MM:DD HH:MM:SS" as the camera wrote it.
    ExifText dateTaken;
};

ExifData readExif(const uint8_t* file, size_t size);
