// Captions: their place on the picture, when they are drawn, and loading a text of any length.
#include "slideshow/Caption.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::array<int, 4> Corners(const Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

TEST(Caption, TheTextEnds30PixelsFromThePicturesEdgesInsideABoxTenPixelsLarger) {
    // On an 800 x 562 picture the text ends at x 770 and y 532, the box at 780 and 542: its
    // outline runs along column 779 and row 541, and 20 columns and rows stay free beyond it.
    const CaptionPlacement onPicture = PlaceCaption(180, 32, 800, 562);
    EXPECT_EQ(Corners(onPicture.Text), (std::array<int, 4>{590, 500, 770, 532}));
    EXPECT_EQ(Corners(onPicture.Box), (std::array<int, 4>{580, 490, 780, 542}));
    // A caption larger than its picture reaches into negative coordinates.
    const CaptionPlacement tooLarge = PlaceCaption(300, 50, 200, 60);
    EXPECT_EQ(Corners(tooLarge.Text), (std::array<int, 4>{-130, -20, 170, 30}));
    EXPECT_EQ(Corners(tooLarge.Box), (std::array<int, 4>{-140, -30, 180, 40}));
}

TEST(Caption, DrawnOnlyWithTextOutsideThePreviewWithShowTextOn) {
    EXPECT_TRUE(CaptionShown(1, false, true));
    EXPECT_FALSE(CaptionShown(0, false, true));
    EXPECT_FALSE(CaptionShown(5, true, true));
    EXPECT_FALSE(CaptionShown(5, false, false));
}

TEST(Caption, ATextIsLoadedWholeInBuffersGrowingBy256WhileFewerThan3AreLeftOver) {
    // Sizes of the buffers asked for, by text length: 253 characters leave 3 of 256 over.
    const std::pair<std::size_t, std::vector<int>> cases[] = {
        {0, {256}},
        {1, {256}},
        {253, {256}},
        {254, {256, 512}},
        {509, {256, 512}},
        {510, {256, 512, 768}},
        {1000, {256, 512, 768, 1024}},
    };
    for (const auto& [length, sizes] : cases) {
        std::string text(length, 'x');
        for (std::size_t i = 0; i < length; i += 37)
            text[i] = '\n';
        std::vector<int> asked;
        // As the string table does: at most size - 1 characters and a terminating zero.
        const std::string loaded = LoadWholeText([&](char* buffer, int size) {
            asked.push_back(size);
            const int copied = std::min(static_cast<int>(length), size - 1);
            std::memcpy(buffer, text.data(), static_cast<std::size_t>(copied));
            buffer[copied] = '\0';
            return copied;
        });
        EXPECT_EQ(loaded, text) << length;
        EXPECT_EQ(asked, sizes) << length;
    }
}

} // namespace
