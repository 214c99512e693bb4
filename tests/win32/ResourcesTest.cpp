// What Windows reads from Lanternmoor.scr without running it: the name in the Display Properties
// list, the icon, the version information, the manifest, and the pictures with their captions.
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

TEST_F(Resources, StringOneIsTheNameInTheScreenSaverList) {
    EXPECT_EQ(String(1), "Lanternmoor");
}

TEST_F(Resources, TheIconHasTheUsualSizesInFullColour) {
    const std::string group = Data(14, 1); // RT_GROUP_ICON: a header, then 14 bytes per image
    ASSERT_GE(group.size(), 6u);
    const int count = static_cast<unsigned char>(group[4]);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::vector<std::pair<int, int>> sizeAndBits;
    for (int i = 0; i < count; ++i)
        sizeAndBits.emplace_back(static_cast<unsigned char>(group[6 + 14 * i]),
                                 static_cast<unsigned char>(group[6 + 14 * i + 6]));
    EXPECT_EQ(sizeAndBits, (std::vector<std::pair<int, int>>{{16, 32}, {32, 32}, {48, 32}}));
    const HANDLE icon = LoadImageA(module_, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(icon, nullptr);
    DestroyIcon(static_cast<HICON>(icon));
}

TEST_F(Resources, VersionInformationNamesTheProduct) {
    const std::string path = ScreenSaverPath();
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, info.size(), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u); // 1.0
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    for (const auto& [name, expected] :
         {std::pair<const char*, const char*>{"ProductName", "Lanternmoor"},
          {"OriginalFilename", "Lanternmoor.scr"}}) {
        char* text = nullptr;
        ASSERT_TRUE(VerQueryValueA(info.data(),
                                   (std::string("\\StringFileInfo\\040904E4\\") + name).c_str(),
                                   reinterpret_cast<void**>(&text), &length))
            << name;
        EXPECT_STREQ(text, expected);
    }
}

TEST_F(Resources, TheManifestDeclaresDpiAwareness) {
    const std::string manifest = Data(24, 1); // RT_MANIFEST
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
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
