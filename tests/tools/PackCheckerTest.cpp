// check-pack: ids, caption text, one table of packs (every kind of bad one) with the messages
// that name file and line, the resource script with the credits, the proof sheet's pixels, the
// captions started from a folder of photographs and the program's exit status. The pictures are
// grey JPEG files written here, some with EXIF segments.
#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "tests/WholeFile.h"
#include "tests/tools/BadPacks.h"
#include "tools/check-pack/NewCaptions.h"
#include "tools/check-pack/Pack.h"
#include "tools/check-pack/PackCheck.h"
#include "tools/check-pack/PackOutput.h"
#include "tools/prepare-picture/PictureFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/wait.h>

namespace fs = std::filesystem;

using namespace packs;

namespace {

fs::path MakeFolder(const std::string& name, const Files& files) {
    fs::path folder = fs::path(LM_PACK_TESTS_DIR) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& [file, bytes] : files)
        std::ofstream(folder / file, std::ios::binary) << bytes;
    return folder;
}

// A pack of `captions` and `files` (see PackFiles) read and checked as check-pack does; its
// messages without the folder's name.
struct Checked {
    Pack Result;
    std::string Report;
};
Checked Check(const std::string& name, const std::string& captions, const Files& files = {},
              const IdRules& rules = BuiltInIdRules()) {
    const fs::path folder = MakeFolder(name, PackFiles(captions, files));
    Checked c{ReadPack(folder.string(), rules), ""};
    for (const PackPicture& picture : c.Result.Pictures)
        if (fs::is_regular_file(folder / picture.Name)) CheckPicture(c.Result, picture);
    const char* levels[] = {"note", "warning", "error"};
    for (const PackMessage& m : c.Result.Messages)
        c.Report += fs::path(m.Where).filename().string() + ": " +
                    levels[static_cast<int>(m.Level)] + ": " + m.Text + "\n";
    return c;
}

} // namespace

TEST(PackIds, FromTheResourceIdHeaderInLineOrderSkippingIdsInUseAndEndingAt65535) {
    const IdRules& rules = BuiltInIdRules();
    EXPECT_EQ(rules.First, 114);
    EXPECT_EQ(rules.Reserved, (std::vector<int>{1, 101, 104, 106, 2000, 2001}));
    // The shipped pack passes, its ids as they were.
    Pack pack = ReadPack(LM_PICTURES_DIR);
    std::vector<int> ids;
    for (const PackPicture& picture : pack.Pictures) {
        CheckPicture(pack, picture);
        ids.push_back(picture.Id);
    }
    EXPECT_TRUE(pack.Messages.empty());
    EXPECT_EQ(ids, (std::vector<int>{114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125,
                                     126, 127, 128, 129, 134}));
    // A number above the previous id and free is taken; other names take the next free id.
    EXPECT_EQ(AssignIds({"b.jpg", "114.jpg", "200.jpg", "150.jpg", "2002.jpg", "2000.jpg",
                         "0300.jpg", "70000.jpg", "1999x.jpg"},
                        rules),
              (std::vector<int>{114, 115, 200, 201, 2002, 2003, 2004, 2005, 2006}));
    const std::vector<int> all = AssignIds(std::vector<std::string>(65535 - 115 + 1, "x"), rules);
    EXPECT_EQ(all[1886], 2002); // past 2000 and 2001
    EXPECT_EQ(all[all.size() - 2], 65535);
    EXPECT_EQ(all.back(), 0);
}

TEST(PackText, CaptionsInWindows1252AndMeasuredInTheFixedFont) {
    std::string text, problem;
    EXPECT_TRUE(
        ToWindows1252("Caf\xC3\xA9 \xE2\x80\x94 \xE2\x82\xAC\xC2\xA0\xC3\xBF\xC5\xB8\xE2\x84\xA2",
                      text, problem));
    EXPECT_EQ(text, "Caf\xE9 \x97 \x80\xA0\xFF\x9F\x99");
    EXPECT_FALSE(ToWindows1252("a\xC2\x81", text, problem)); // U+0081: none
    EXPECT_FALSE(ToWindows1252("\xC0\xAF", text, problem));  // '/' overlong: no UTF-8
    EXPECT_EQ(MeasureCaption("Autumn meadow\nbelow a grey mountain ridge").Width, 216);
    EXPECT_EQ(MeasureCaption("\n\nR&&D &Fish&\n").Width, 64);
    EXPECT_EQ(MeasureCaption("\n\nR&&D &Fish&\n").Height, 64);
}

TEST(BadPacks, EachGivesAClearMessageNamingItsFileAndLine) {
    for (const BadPack& bad : BadPacks(WholeFile(LM_PICTURES_DIR "/114.jpg").substr(0, 60000))) {
        SCOPED_TRACE(bad.Name);
        const Checked c = Check(bad.Name, bad.Captions, bad.Extra);
        for (const std::string& message : bad.Messages)
            EXPECT_NE(c.Report.find(message), std::string::npos) << message << "\nin\n" << c.Report;
        EXPECT_EQ(c.Result.Count(Severity::Error), bad.Count("error")) << c.Report;
        EXPECT_EQ(c.Result.Count(Severity::Warning), bad.Count("warning")) << c.Report;
    }
    // Ids run out (from 65534 here, 65535 in use): the first picture without one says so.
    EXPECT_NE(Check("ids", "a.jpg\tA\nb.jpg\tB\n", {}, {65534, {65535}})
                  .Report.find("captions.tsv:2: error: more pictures than resource ids"),
              std::string::npos);
}

TEST(PackOutput, TheResourceScriptEscapesCaptionsNamesAndCreditsAndTheProofSheetShowsEachScreen) {
    // Credits with a byte order mark and Windows line ends (each told once), a tab, an empty line.
    const fs::path folder = MakeFolder(
        "output",
        {{"captions.tsv", "a \"q\".jpg\tSay \"hi\"\\nC:\\dir\n300.jpg\tCaf\xC3\xA9\nb.jpg\n"},
         {"credits.txt", "\xEF\xBB\xBFPhotos:\tAnn\r\n\r\nCaf\xC3\xA9 \"Q\"\r\n"},
         {"a \"q\".jpg", GreyJpeg(400, 300)},
         {"300.jpg", GreyJpeg(1600, 1200)},
         {"b.jpg", kGrey}});
    Pack pack = ReadPack(folder.string());
    EXPECT_EQ(pack.Credits, "Photos:\tAnn\r\n\r\nCaf\xE9 \"Q\"");
    EXPECT_EQ(pack.Count(Severity::Warning), 3); // b.jpg has no caption; BOM; line ends
    std::string error;
    ASSERT_TRUE(WriteResourceScript(pack, (folder / "Pictures.rc").string(), error)) << error;
    const std::string at = "\"" + fs::absolute(folder).string() + "/";
    EXPECT_EQ(
        WholeFile(folder / "Pictures.rc"),
        "// The pictures of " + folder.string() +
            " and their captions, written by check-pack.\n#pragma code_page(1252)\n"
            "#include \"ResourceIds.h\"\n\n"
            "STRINGTABLE\nBEGIN\n    114 \"Say \"\"hi\"\"\\nC:\\\\dir\"\n    300 \"Caf\\351\"\n"
            "END\n\n114 RCDATA " +
            at + "a \"\"q\"\".jpg\"\n300 RCDATA " + at + "300.jpg\"\n301 RCDATA " + at +
            "b.jpg\"\n\n// The pack's credits, one string a line.\n"
            "IDR_PACK_CREDITS RT_PACK_CREDITS\nBEGIN\n    \"Photos:\\011Ann\\015\\n\"\n"
            "    \"\\015\\n\"\n    \"Caf\\351 \"\"Q\"\"\"\nEND\n");
    EXPECT_FALSE(WriteResourceScript(pack, (folder / "none" / "x.rc").string(), error));

    // On 800 x 600 screens side by side (each then halved): 400 x 300 stands 1:1 at (200, 150),
    // the box of its 16 x 16 caption on its columns 344 to 379 and rows 244 to 279; 1600 x 1200
    // fills its screen.
    pack.Pictures[0].Caption = "Hi";
    pack.Pictures.pop_back();
    for (const int scale : {1, 2}) {
        ProofOptions options;
        options.ScreenWidth = 800;
        options.ScreenHeight = 600;
        options.Scale = scale;
        ASSERT_TRUE(WriteProofSheet(pack, options, (folder / "proof.ppm").string(), error))
            << error;
        const std::string file = WholeFile(folder / "proof.ppm");
        RasterImage sheet;
        ASSERT_TRUE(ReadPpm({file.begin(), file.end()}, sheet, error)) << error;
        const auto at = [&](int x, int y) { return sheet.Pixels()[y * sheet.Width() + x]; };
        EXPECT_EQ(std::make_pair(sheet.Width(), sheet.Height()),
                  std::make_pair(2 * (800 / scale + 8) + 8, 600 / scale + 16));
        EXPECT_EQ(at(0, 0), 0x606060u);
        EXPECT_NEAR(PixelRed(at(8 + 808 / scale + 400 / scale, 8 + 300 / scale)), 128, 1);
        if (scale == 2) continue;
        for (const auto& [x, y] : {std::pair{100, 100}, {579, 429}, {544, 410}, {551, 400}})
            EXPECT_EQ(at(8 + x, 8 + y), 0u) << x << "," << y; // outside, box outline, box pattern
        for (const auto& [x, y] : {std::pair{210, 160}, {550, 400}, {580, 410}})
            EXPECT_EQ(at(8 + x, 8 + y), 0x808080u) << x << "," << y;
    }
    // A sheet named *.bmp in any case is a BMP picture: rows bottom-up, blue first, each padded
    // to four bytes (5 x 3 bytes are not), as ImageMagick reads it.
    ASSERT_TRUE(WriteProofSheet(pack, {}, (folder / "proof.Bmp").string(), error)) << error;
    EXPECT_EQ(WholeFile(folder / "proof.Bmp").substr(0, 2), "BM");
    RasterImage colours(AllocatePixels(5, 3), 5, 3);
    for (int i = 0; i < 15; ++i)
        colours.Pixels()[i] = PackPixel(i * 17, 255 - i * 3, i * i);
    ASSERT_TRUE(WriteBmp((folder / "colours.bmp").string(), colours, error)) << error;
    ASSERT_EQ(std::system(("convert " + (folder / "colours.bmp").string() + " " +
                           (folder / "colours.ppm").string())
                              .c_str()),
              0);
    const std::string file = WholeFile(folder / "colours.ppm");
    RasterImage read;
    ASSERT_TRUE(ReadPpm({file.begin(), file.end()}, read, error)) << error;
    EXPECT_TRUE(std::equal(colours.Pixels(), colours.Pixels() + 15, read.Pixels()));
}

TEST(NewCaptions, InNameOrderFromEachSourceReplacingWhatWindows1252LacksAndNeverOverwriting) {
    // In byte order: C.jpeg, a.JPG, b.jpg, caf\xE9.jpg (a Latin-1 name), d.jpeg.
    const fs::path folder = MakeFolder(
        "new-captions",
        {{"b.jpg",
          GreyJpeg(400, 300, exif::Orientation(1, true, "  Harbour & boats \xE6\x9D\xB1 "))},
         {"a.JPG", GreyJpeg(400, 300, exif::Orientation(6, false, "   ", "2024:05:17 14:03:00"))},
         {"C.jpeg", GreyJpeg(400, 300, exif::Orientation(1, true, "", "0000:00:00 00:00:00"))},
         {"caf\xE9.jpg", kGrey},
         {"d.jpeg", GreyJpeg(400, 300, exif::Orientation(1, false, "Stra\xDF\x65\tKurve"))},
         {"notes.txt", "not a picture"}});
    static std::string told;
    const auto progress = [](const std::string& name, const NewCaption& caption) {
        told += name + " (" + caption.Source + ")\n";
    };
    PackMessage problem;
    ASSERT_TRUE(WriteNewCaptions(folder.string(), problem, progress)) << problem.Text;
    EXPECT_EQ(WholeFile(folder / "captions.tsv"), "C.jpeg\tC\n"
                                                  "a.JPG\t2024-05-17\n"
                                                  "b.jpg\tHarbour && boats ?\n"
                                                  "caf\xE9.jpg\tcaf\xC3\xA9\n"
                                                  "d.jpeg\tStra\xC3\x9F\x65 Kurve\n");
    EXPECT_EQ(told, "C.jpeg (file name)\na.JPG (date taken)\nb.jpg (EXIF description)\n"
                    "caf\xE9.jpg (file name)\nd.jpeg (EXIF description)\n");
    // The pack it starts passes the checker without a message.
    Pack pack = ReadPack(folder.string());
    for (const PackPicture& picture : pack.Pictures)
        CheckPicture(pack, picture);
    std::string messages;
    for (const PackMessage& m : pack.Messages)
        messages += m.Where + ": " + m.Text + "\n";
    EXPECT_EQ(pack.Count(Severity::Error) + pack.Count(Severity::Warning), 0) << messages;

    // Never over a captions file, nor from a folder without pictures.
    std::ofstream(folder / "captions.tsv") << "mine";
    EXPECT_FALSE(WriteNewCaptions(folder.string(), problem));
    EXPECT_EQ(problem.Where, (folder / "captions.tsv").string());
    EXPECT_EQ(problem.Text, "already exists, and is never replaced (move it away to start again)");
    EXPECT_EQ(WholeFile(folder / "captions.tsv"), "mine");
    const fs::path none = MakeFolder("no-pictures", {{"notes.txt", "x"}});
    EXPECT_FALSE(WriteNewCaptions(none.string(), problem));
    EXPECT_EQ(problem.Text, "no JPEG files (*.jpg, *.jpeg) to list");
}

TEST(CheckPackProgram, AnErrorExitsWithOneAndLeavesNoResourceScript) {
    const fs::path good = MakeFolder("good", {{"captions.tsv", "a.jpg\tA\n"}, {"a.jpg", kGrey}});
    const fs::path bad = MakeFolder("bad", {{"captions.tsv", "a.jpg\tA\tB\n"}, {"a.jpg", kGrey}});
    const fs::path script = fs::path(LM_PACK_TESTS_DIR) / "program.rc";
    const fs::path output = fs::path(LM_PACK_TESTS_DIR) / "program.txt";
    const auto run = [&](const std::string& arguments) {
        const int status = std::system(
            (std::string(LM_CHECK_PACK) + " " + arguments + " >" + output.string() + " 2>&1")
                .c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::ofstream(script) << "stale";
    EXPECT_EQ(run("--resource-script " + script.string() + " " + bad.string()), 1);
    EXPECT_FALSE(fs::exists(script));
    EXPECT_NE(
        WholeFile(output).find(bad.string() + "/captions.tsv:1: error: a tab inside the caption"),
        std::string::npos);
    EXPECT_EQ(run("--resource-script " + script.string() + " " + good.string()), 0);
    EXPECT_TRUE(fs::exists(script));
    // Captions started: a line per picture; over an existing file, an error; with another
    // option, a usage error.
    const fs::path fresh = MakeFolder("fresh", {{"a.jpg", kGrey}});
    EXPECT_EQ(run("--new-captions " + fresh.string()), 0);
    EXPECT_NE(WholeFile(output).find("a.jpg: \"a\" (file name)\n"), std::string::npos);
    EXPECT_EQ(run("--new-captions " + fresh.string()), 1);
    EXPECT_NE(WholeFile(output).find(fresh.string() + "/captions.tsv: error: already exists"),
              std::string::npos);
    EXPECT_EQ(run("--new-captions --quiet " + fresh.string()), 2);
}
