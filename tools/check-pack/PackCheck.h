// Checking a pack's pictures with the screen saver's own decoder, on both paths, and their
// captions against the screens they will be shown on.
#pragma once

#include "tools/check-pack/Pack.h"

#include <cstdint>
#include <vector>

// Captions are measured in a fixed font of 8 x 16 pixels a character: the cell of the 8 x 16
// system fonts, as high as the 16-pixel line of the System font the show draws with and as wide
// as its wider letters (its average is 7), so a caption that fits by this measure fits on screen
// unless it is mostly of the widest capitals.
constexpr int kCaptionCharWidth = 8;
constexpr int kCaptionLineHeight = 16;

struct TextSize {
    int Width;
    int Height;
};
// The caption's size as laid out: one line per '\n', "&&" one character, a single '&' none.
TextSize MeasureCaption(const std::string& caption);

// The screens a caption must fit on: the smallest and the commonest of today.
struct ScreenSize {
    int Width;
    int Height;
};
constexpr ScreenSize kCaptionScreens[2] = {{800, 600}, {1920, 1080}};

// Pictures beyond this many pixels (twice a 3840 x 2160 screen) are far larger than any screen.
constexpr long kLargePicturePixels = 2L * 3840 * 2160;

// Decodes the picture on both paths, checks it and its caption, and adds what it finds to
// pack.Messages. Answers the line the report gives the file: its size and layout and "accepted",
// or the decoder's error.
std::string CheckPicture(Pack& pack, const PackPicture& picture);
