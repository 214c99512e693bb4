// Reading pictures for prepare-picture into the screen saver's pixel buffer, and writing the
// prepared result. Paths are UTF-8 text.
#pragma once

#include "imaging/RasterImage.h"

#include <cstdint>
#include <string>
#include <vector>

// A binary PPM (P6, maxval 1 to 255, comments allowed in the header) from memory. On failure
// returns false with a reason in error.
bool ReadPpm(const std::vector<std::uint8_t>& bytes, RasterImage& image, std::string& error);

// Reads the file and picks the reader by its first bytes: "P6" for PPM, FF D8 for JPEG, which the
// screen saver's own decoder decodes (its packed variant when useSimd) and turns upright by its
// EXIF orientation, as the screen saver does. A JPEG picture that breaks off part way is still
// read, as the screen saver would show it (the rest black); warning then says why. A JPEG picture
// of which nothing can be decoded is an error.
bool ReadPicture(const std::string& path, bool useSimd, RasterImage& image, std::string& error,
                 std::string& warning);

// Writes a binary PPM (maxval 255) of the picture's red, green and blue bytes.
bool WritePpm(const std::string& path, const RasterImage& image, std::string& error);
// Writes an uncompressed 24-bit BMP of it, the picture file every Windows viewer opens.
bool WriteBmp(const std::string& path, const RasterImage& image, std::string& error);
