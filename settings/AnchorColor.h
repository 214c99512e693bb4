// The browser's link colours as its settings write them: "red,green,blue" in decimal.
#pragma once

#include <cstdint>

struct RgbColor {
    std::uint8_t Red;
    std::uint8_t Green;
    std::uint8_t Blue;

    bool operator==(const RgbColor& other) const {
        return Red == other.Red && Green == other.Green && Blue == other.Blue;
    }
};

// Reads "red,green,blue". Each component is the decimal number at the start of its piece (leading
// white space skipped, an optional sign, digits up to the first other character, none at all
// reading as 0, wrapping modulo 2^32 rather than overflowing) cut to its low 8 bits. Rejected, with
// `color` untouched: fewer than two commas, nothing after the second one, and a red or green of -1
// (the browser's mark of a missing component).
bool ParseAnchorColor(const char* text, RgbColor& color);
