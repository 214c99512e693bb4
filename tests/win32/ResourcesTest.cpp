// What Windows reads from Lanternmoor.scr without running it: the name in the Display Properties
// list, the icon, and the pictures with their captions.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<WORD>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

TEST(Resources, TheNameAnIconOfTheUsualSizesInFullColourAndEveryPictureWithItsCaption) {
    const HMODULE module =
        LoadLibraryExA(harness::ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const auto string = [&](UINT id) {
        char text[256] = {};
        return std::string(text, std::max(0, LoadStringA(module, id, text, sizeof text)));
    };
    const auto data = [&](WORD type, WORD id) {
        const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
        return found == nullptr ? std::string()
                                : std::string(static_cast<const char*>(
                                                  LockResource(LoadResource(module, found))),
                                              SizeofResource(module, found));
    };
    EXPECT_EQ(string(1), "Lanternmoor");
    // RT_GROUP_ICON: a 6-byte header with the count at 4, then 14 bytes per image with its width
    // at 0 and bits per pixel at 6.
    const std::string group = data(14, 1);
    std::vector<std::pair<int, int>> sizeAndBits;
    for (std::size_t at = 6; at + 14 <= group.size(); at += 14)
        sizeAndBits.emplace_back(static_cast<unsigned char>(group[at]), group[at + 6]);
    EXPECT_EQ(sizeAndBits, (std::vector<std::pair<int, int>>{{16, 32}, {32, 32}, {48, 32}}));
    EXPECT_EQ(group.size(), 6u + 14u * static_cast<unsigned char>(group.at(4)));

    // RT_RCDATA 114 to 129 and 134, each a whole JPEG file with a caption of its id.
    std::vector<WORD> ids, expected{134};
    EnumResourceNamesA(module, RT_RCDATA, &CollectId, reinterpret_cast<LONG_PTR>(&ids));
    for (WORD id = 129; id >= 114; --id)
        expected.insert(expected.begin(), id);
    EXPECT_EQ(ids, expected);
    for (const WORD id : ids) {
        const std::string jpeg = data(10, id);
        EXPECT_FALSE(string(id).empty()) << id;
        EXPECT_TRUE(jpeg.size() >= 4 && jpeg.substr(0, 2) == "\xFF\xD8" &&
                    jpeg.substr(jpeg.size() - 2) == "\xFF\xD9")
            << id;
    }
    FreeLibrary(module);
}

} // namespace
