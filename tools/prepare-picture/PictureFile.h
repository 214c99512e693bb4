// Reading pictures for prepare-picture into the screen saver's pixel buffer, and writing the
// prepared result.
#pragma once

#include "imaging/RasterImage.h"

#include <cstdint>
#include <string>
#include <vector>

// A binary PPM (P6, maxval 1 to 255, comments allowed in the header) from memory. On failure
// returns false with a reason in error.
bool ReadPpm(const std::vector<std::uint8_t>& bytes, RasterImage& image, std::string& error);

// Reads the file and picks the reader by its first bytes: "P6" for PPM, FF D8 for JPEG.
bool ReadPicture(const std::string& path, RasterImage& image, std::string& error);

// Writes a binary PPM (maxval 255) of the picture's red, green and blue bytes.
bool WritePpm(const std::string& path, const RasterImage& image, std::string& error);
