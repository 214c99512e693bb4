// What Windows reads from Lanternmoor.scr without running it: the name in the Display Properties
// list, the icon, the version information, the manifest, and the pictures with their captions.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace harness;

namespace {

class Resources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    std::string String(UINT id) const {
        char text[256] = {};
        const int length = LoadStringA(module_, id, text, sizeof text);
        return std::string(text, length > 0 ? length : 0);
    }
    std::string Data(const char* type, WORD id) const {
        const HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
        if (found == nullptr) return {};
        const HGLOBAL loaded = LoadResource(module_, found);
        return std::string(static_cast<const char*>(LockResource(loaded)),
                           SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<WORD>*>(ids)->push_back(
            static_cast<WORD>(reinterpret_cast<UINT_PTR>(name)));
    return TRUE;
}

TEST_F(Resources, StringOneIsTheNameInTheScreenSaverList) {
    EXPECT_EQ(String(1), "Lanternmoor");
}

TEST_F(Resources, TheIconHasTheUsualSizesInFullColour) {
    const std::string group = Data(MAKEINTRESOURCEA(14), 1); // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u);
    const int count = static_cast<unsigned char>(group[4]);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const char* entry = group.data() + 6 + 14 * i;
        sizes.push_back(static_cast<unsigned char>(entry[0]));
        EXPECT_EQ(static_cast<unsigned char>(entry[6]), 32) << "bits per pixel";
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
    const HICON icon = static_cast<HICON>(
        LoadImageA(module_, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) DestroyIcon(icon);
}

TEST_F(Resources, VersionInformationNamesTheProduct) {
    const std::string path = ScreenSaverPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u); // 1.0
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904E4\\ProductName",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, "Lanternmoor");
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904E4\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, "Lanternmoor.scr");
}

TEST_F(Resources, TheManifestDeclaresDpiAwareness) {
    const std::string manifest = Data(MAKEINTRESOURCEA(24), 1); // RT_MANIFEST
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

TEST_F(Resources, EveryPictureHasACaptionUnderItsId) {
    std::vector<WORD> ids;
    EnumResourceNamesA(module_, MAKEINTRESOURCEA(10), &CollectId,
                       reinterpret_cast<LONG_PTR>(&ids)); // RT_RCDATA
    std::vector<WORD> expected;
    for (WORD id = 114; id <= 129; ++id)
        expected.push_back(id);
    expected.push_back(134);
    EXPECT_EQ(ids, expected);
    for (const WORD id : ids) {
        EXPECT_FALSE(String(id).empty()) << "picture " << id;
        const std::string jpeg = Data(MAKEINTRESOURCEA(10), id);
        ASSERT_GE(jpeg.size(), 4u);
        EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8") << "picture " << id;
        EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9") << "picture " << id;
    }
}

} // namespace
