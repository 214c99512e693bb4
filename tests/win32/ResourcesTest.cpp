// What Windows reads from Lanternmoor.scr without running it: the name in the Display Properties
// list, the icon, and the pictures with their captions.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace harness;

namespace {

class Resources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(module_, nullptr); }
    void TearDown() override { FreeLibrary(module_); }

    std::string String(UINT id) const {
        char text[256] = {};
        return std::string(text, std::max(0, LoadStringA(module_, id, text, sizeof text)));
    }
    std::string Data(WORD type, WORD id) const {
        const HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
        if (found == nullptr) return {};
        return std::string(static_cast<const char*>(LockResource(LoadResource(module_, found))),
                           SizeofResource(module_, found));
    }

    HMODULE module_ = LoadLibraryExA(ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
};

TEST_F(Resources, TheNameInTheScreenSaverListAndAnIconOfTheUsualSizesInFullColour) {
    EXPECT_EQ(String(1), "Lanternmoor");
    // RT_GROUP_ICON: a 6-byte header with the count at 4, then 14 bytes per image with its width
    // at 0 and bits per pixel at 6.
    const std::string group = Data(14, 1);
    std::vector<std::pair<int, int>> sizeAndBits;
    for (std::size_t at = 6; at + 14 <= group.size(); at += 14)
        sizeAndBits.emplace_back(static_cast<unsigned char>(group[at]), group[at + 6]);
    EXPECT_EQ(sizeAndBits, (std::vector<std::pair<int, int>>{{16, 32}, {32, 32}, {48, 32}}));
    EXPECT_EQ(group.size(), 6u + 14u * static_cast<unsigned char>(group.at(4)));
}

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<WORD>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

TEST_F(Resources, EveryPictureIsAJpegWithACaptionUnderItsId) {
    std::vector<WORD> ids;
    EnumResourceNamesA(module_, RT_RCDATA, &CollectId, reinterpret_cast<LONG_PTR>(&ids));
    std::vector<WORD> expected;
    for (WORD id = 114; id <= 129; ++id)
        expected.push_back(id);
    expected.push_back(134);
    EXPECT_EQ(ids, expected);
    for (const WORD id : ids) {
        const std::string jpeg = Data(10, id); // RT_RCDATA
        EXPECT_FALSE(String(id).empty()) << "picture " << id;
        EXPECT_TRUE(jpeg.size() >= 4 && jpeg.substr(0, 2) == "\xFF\xD8" &&
                    jpeg.substr(jpeg.size() - 2) == "\xFF\xD9")
            << "picture " << id << " is not a whole JPEG file";
    }
}

} // namespace
