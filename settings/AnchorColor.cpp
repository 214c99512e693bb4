#include "settings/AnchorColor.h"

#include <cstring>

namespace {

std::int32_t LeadingNumber(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    std::uint32_t value = 0;
    while (*text >= '0' && *text <= '9')
        value = value * 10u + static_cast<std::uint32_t>(*text++ - '0');
    return static_cast<std::int32_t>(negative ? 0u - value : value);
}

} // namespace

bool ParseAnchorColor(const char* text, RgbColor& color) {
    std::int32_t components[3] = {-1, -1, -1};
    // A byte-wise search for the comma is safe in every ANSI code page: no trail byte of a
    // double-byte character is below 0x40.
    const char* piece = text;
    for (int index = 0; index < 2; ++index) {
        const char* comma = std::strchr(piece, ',');
        if (comma == nullptr) return false;
        components[index] = LeadingNumber(piece);
        if (components[index] == -1) return false;
        piece = comma + 1;
    }
    if (*piece == '\0') return false;
    components[2] = LeadingNumber(piece);
    color = {static_cast<std::uint8_t>(components[0]), static_cast<std::uint8_t>(components[1]),
             static_cast<std::uint8_t>(components[2])};
    return true;
}
