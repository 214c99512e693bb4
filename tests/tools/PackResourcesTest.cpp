// What LanternmoorPack.exe makes of a pack: string table blocks as the resource compiler writes
// them, and the resources of a screen saver made of a pack from another one: the program's own
// kept byte for byte, the other's pictures, captions and credits gone in every language, each
// caption in its block beside the strings that stay.
#include "tools/lanternmoor-pack/PackResources.h"
#include "resources/ResourceIds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>

namespace fs = std::filesystem;

void PrintTo(const Resource& r, std::ostream* out) {
    *out << r.Type.Id << r.Type.Text << "/" << r.Name.Id << r.Name.Text << "/" << std::hex
         << r.Language << std::dec << " (" << r.Bytes.size() << " bytes)";
}

namespace {

Resource Of(int type, int name, const std::string& bytes, int language = kPackLanguage) {
    return {{type, ""}, {name, ""}, language, bytes};
}

// A block of the string table with these strings (by their place in the block).
std::string Block(const std::map<int, std::u16string>& strings) {
    StringBlock block;
    for (const auto& [at, text] : strings)
        block[static_cast<std::size_t>(at)] = text;
    return StringBlockBytes(block);
}

} // namespace

TEST(PackResources, StringBlocksAsTheResourceCompilerWritesThem) {
    // Block 13 of a screen saver the build made: ids 200 and 201, Windows-1252 text as UTF-16.
    const std::string built = std::string(16, '\0') + std::string("\x0f\x00", 2) +
                              std::string("A\0 \0g\0r\0e\0y\0 \0g\0r\0a\0d\0i\0e\0n\0t\0", 30) +
                              std::string("\x0b\x00", 2) +
                              std::string("C\0a\0f\0\xe9\0 \0a\0t\0 \0"
                                          "5\0 \0\xac\x20",
                                          22) +
                              std::string(12, '\0');
    const std::u16string cafe = Utf16FromWindows1252("Caf\xE9 at 5 \x80");
    EXPECT_EQ(cafe, u"Caf\u00e9 at 5 \u20ac");
    EXPECT_EQ(Utf16FromWindows1252("\x9F\x85\xFF"), u"\u0178\u2026\u00ff");
    EXPECT_EQ(Block({{8, u"A grey gradient"}, {9, cafe}}), built);
    StringBlock block;
    ASSERT_TRUE(ReadStringBlock(built, block));
    EXPECT_EQ(block[9], cafe);
    EXPECT_EQ(StringBlockBytes(block), built);
    for (const std::string& damaged :
         {built.substr(0, built.size() - 1), built + '\0', std::string("\x05\x00", 2) + "abc"})
        EXPECT_FALSE(ReadStringBlock(damaged, block)) << damaged.size();
}

TEST(PackResources, TheProgramsOwnStayAndThePacksReplaceTheOtherPicturesCaptionsAndCredits) {
    const std::vector<Resource> shipped = {
        {{0, "PNG"}, {0, "LOGO"}, kPackLanguage, "named"},
        Of(2, IDB_CAPTION_PATTERN, "pattern"),
        Of(5, IDD_ABOUT, "about"),
        Of(5, IDD_SETUP_PAGE, "page"),
        Of(6, 1, Block({{IDS_SCREENSAVER_NAME, u"Lanternmoor"}})),
        Of(6, 8, Block({{0, u"112 stays"}, {2, u"caption 114"}, {3, u"caption 115"}})),
        Of(6, 8, Block({{1, u"113 bleibt"}, {2, u"Bild 114"}}), 0x0407),
        Of(6, 9, Block({{6, u"caption 134"}})),
        Of(10, 114, "shipped 114"),
        Of(10, 114, "Bild 114", 0x0407),
        Of(10, 115, "shipped 115"),
        Of(10, 134, "shipped 134"),
        Of(14, 1, "icon"),
        Of(RT_PACK_CREDITS, IDR_PACK_CREDITS, "shipped credits"),
    };
    const fs::path folder = fs::path(LM_PACK_TESTS_DIR) / "resources";
    fs::create_directories(folder);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        std::ofstream(folder / name, std::ios::binary) << "picture " << name;
    Pack pack;
    pack.Folder = folder.string();
    pack.Pictures = {
        {"a.jpg", 1, 114, "Caf\xE9"}, {"b.jpg", 2, 200, ""}, {"c.jpg", 3, 201, "x\ny"}};
    std::vector<Resource> made;
    std::string error;
    ASSERT_TRUE(MakePackResources(shipped, "L.scr", pack, made, error)) << error;
    EXPECT_EQ(made, (std::vector<Resource>{
                        shipped[0],
                        shipped[1],
                        shipped[2],
                        shipped[3],
                        shipped[4],
                        Of(6, 8, Block({{1, u"113 bleibt"}}), 0x0407),
                        Of(6, 8, Block({{0, u"112 stays"}, {2, u"Caf\u00e9"}})),
                        Of(6, 13, Block({{9, u"x\ny"}})),
                        Of(10, 114, "picture a.jpg"),
                        Of(10, 200, "picture b.jpg"),
                        Of(10, 201, "picture c.jpg"),
                        shipped[12],
                    }));
    // A pack with credits has them as the resource's bytes.
    pack.Credits = "Photos:\r\nAnn \x80";
    ASSERT_TRUE(MakePackResources(shipped, "L.scr", pack, made, error)) << error;
    EXPECT_EQ(made.back(), Of(RT_PACK_CREDITS, IDR_PACK_CREDITS, pack.Credits));
    // Only from a Lanternmoor screen saver, and only with every picture read.
    EXPECT_FALSE(
        MakePackResources({shipped.begin() + 3, shipped.end()}, "L.scr", pack, made, error));
    EXPECT_EQ(error.rfind("L.scr is no Lanternmoor screen saver", 0), 0u) << error;
    pack.Pictures[1].Name = "gone.jpg";
    EXPECT_FALSE(MakePackResources(shipped, "L.scr", pack, made, error));
    EXPECT_EQ(error, "cannot read " + (folder / "gone.jpg").string());
}
