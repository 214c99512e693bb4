// check-pack: ids, caption text, every kind of bad pack with the message that names its file and
// line, what the pictures' checks find, the resource script, the proof sheet and the program's
// exit status. The pictures are grey JPEG files written here.
#include "imaging/PixelBuffer.h"
#include "tools/check-pack/Pack.h"
#include "tools/check-pack/PackCheck.h"
#include "tools/check-pack/PackOutput.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

std::string Big16(int v) {
    return {static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A baseline JPEG of w x h grey 128 samples: one-code Huffman tables, two zero bits a block.
std::string GreyJpeg(int w, int h, const std::string& app = "", int sof = 0xC0, int bits = 8) {
    std::string f = "\xFF\xD8" + app + std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, 1);
    f += "\xFF" + std::string(1, static_cast<char>(sof)) + Big16(11) + static_cast<char>(bits) +
         Big16(h) + Big16(w) + std::string("\x01\x01\x11\x00", 4);
    for (const char table : {'\x00', '\x10'})
        f += std::string("\xFF\xC4\x00\x14", 4) + table + '\x01' + std::string(16, '\0');
    const long blocks = static_cast<long>((w + 7) / 8) * ((h + 7) / 8);
    return f + std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10) +
           std::string(static_cast<std::size_t>(blocks + 3) / 4, '\0') + "\xFF\xD9";
}

// An APP1 segment with EXIF orientation `value`, in little- or big-endian TIFF.
std::string Exif(int value, bool little) {
    const auto n16 = [&](int v) { return little ? std::string{char(v), char(v >> 8)} : Big16(v); };
    const auto n32 = [&](int v) { return little ? n16(v) + n16(0) : n16(0) + n16(v); };
    const std::string tiff = (little ? "II" : "MM") + n16(42) + n32(8) + n16(1) + n16(0x112) +
                             n16(3) + n32(1) + n16(value) + n16(0) + n32(0);
    return "\xFF\xE1" + Big16(static_cast<int>(tiff.size()) + 8) + std::string("Exif\0\0", 6) +
           tiff;
}

using Files = std::map<std::string, std::string>;

fs::path MakeFolder(const std::string& name, const Files& files) {
    const fs::path folder = fs::path(testing::TempDir()) / ("pack-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& [file, bytes] : files)
        std::ofstream(folder / file, std::ios::binary) << bytes;
    return folder;
}

// The pack read and its pictures checked as check-pack does, and every message with the
// folder's name taken off.
struct Checked {
    Pack pack;
    std::string report;
};
Checked Check(const std::string& name, const Files& files,
              const IdRules& rules = BuiltInIdRules()) {
    const fs::path folder = MakeFolder(name, files);
    Checked c{ReadPack(folder.string(), rules), ""};
    for (const PackPicture& picture : c.pack.Pictures)
        if (fs::is_regular_file(folder / picture.Name)) CheckPicture(c.pack, picture);
    const char* levels[] = {"note", "warning", "error"};
    for (const PackMessage& m : c.pack.Messages)
        c.report += fs::path(m.Where).filename().string() + ": " +
                    levels[static_cast<int>(m.Level)] + ": " + m.Text + "\n";
    return c;
}

const std::string kGrey = GreyJpeg(160, 64); // room for a caption of 15 characters

} // namespace

TEST(PackIds, FromTheResourceIdHeaderInLineOrderSkippingIdsInUseAndEndingAt65535) {
    const IdRules& rules = BuiltInIdRules();
    EXPECT_EQ(rules.First, 114);
    EXPECT_EQ(rules.Reserved, (std::vector<int>{1, 101, 104, 106, 2000, 2001}));
    // The shipped pack passes, with its ids as they were.
    Pack pack = ReadPack(LM_PICTURES_DIR);
    for (const PackPicture& picture : pack.Pictures)
        CheckPicture(pack, picture);
    EXPECT_EQ(pack.Messages.size(), 0u) << pack.Messages[0].Where << ": " << pack.Messages[0].Text;
    std::vector<int> ids;
    for (const PackPicture& picture : pack.Pictures)
        ids.push_back(picture.Id);
    EXPECT_EQ(ids, (std::vector<int>{114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125,
                                     126, 127, 128, 129, 134}));
    // A number above the previous id and free is taken; other names take the next free id.
    EXPECT_EQ(AssignIds({"b.jpg", "200.jpg", "150.jpg", "2002.jpg", "2000.jpg", "0300.jpg",
                         "70000.jpg", "1999x.jpg"},
                        rules),
              (std::vector<int>{114, 200, 201, 2002, 2003, 2004, 2005, 2006}));
    std::vector<std::string> names(1887, "x.jpg");
    EXPECT_EQ(AssignIds(names, rules).back(), 2002); // past 2000 and 2001
    names.resize(65535 - 113 - 2 + 1);
    const std::vector<int> all = AssignIds(names, rules);
    EXPECT_EQ(all[all.size() - 2], 65535);
    EXPECT_EQ(all.back(), 0);
}

TEST(PackText, CaptionsInWindows1252AndMeasuredInTheFixedFont) {
    const std::pair<std::string, std::string> converted[] = {
        {"Caf\xC3\xA9 \xE2\x80\x94 5 \xE2\x82\xAC", "Caf\xE9 \x97 5 \x80"},
        {"\xC2\xA0\xC3\xBF\xC5\xB8\xE2\x84\xA2", "\xA0\xFF\x9F\x99"}};
    std::string text, problem;
    for (const auto& [utf8, expected] : converted) {
        EXPECT_TRUE(ToWindows1252(utf8, text, problem)) << problem;
        EXPECT_EQ(text, expected);
    }
    const std::pair<std::string, std::string> refused[] = {
        {"\xE6\x97\xA5", "\"\xE6\x97\xA5\" (U+65E5) has no Windows-1252 code"},
        {"a\xC2\x81", "\"\xC2\x81\" (U+0081) has no Windows-1252 code"},
        {"ab\xC0\xAF", "byte 0xC0 at column 3 is no UTF-8 (save the file as UTF-8)"},
        {"\xED\xA0\x80", "byte 0xED at column 1 is no UTF-8 (save the file as UTF-8)"},
        {"x\xE2\x82", "byte 0xE2 at column 2 is no UTF-8 (save the file as UTF-8)"}};
    for (const auto& [utf8, expected] : refused) {
        EXPECT_FALSE(ToWindows1252(utf8, text, problem));
        EXPECT_EQ(problem, expected);
    }
    const std::pair<std::string, std::pair<int, int>> sizes[] = {
        {"Autumn meadow\nbelow a grey mountain ridge", {216, 32}},
        {"R&&D &Fish&", {56, 16}},
        {"\n\nabc\n", {24, 64}}};
    for (const auto& [caption, size] : sizes) {
        const TextSize measured = MeasureCaption(caption);
        EXPECT_EQ(std::make_pair(measured.Width, measured.Height), size) << caption;
    }
}

TEST(BadPacks, EachGivesAClearMessageNamingItsFileAndLine) {
    const std::string twoLines = "a.jpg\tA\nb.jpg\tB\n";
    const std::string cmyk = std::string("\xFF\xD8\xFF\xC0\x00\x14\x08\x00\x10\x00\x10\x04", 12) +
                             std::string("\x01\x11\x00\x02\x11\x00\x03\x11\x00\x04\x11\x00", 12) +
                             "\xFF\xD9";
    std::ifstream photo(LM_PICTURES_DIR "/114.jpg", std::ios::binary);
    const std::string meadow{std::istreambuf_iterator<char>(photo), {}};
    const auto lineBreaks = [](int n) {
        std::string breaks;
        while (n-- > 0)
            breaks += "\\n";
        return breaks;
    };
    const struct {
        const char* Name;
        Files Pack;
        std::vector<std::string> Messages;
        int Errors, Warnings;
    } packs[] = {
        {"non-jpeg",
         {{"captions.tsv", twoLines}, {"a.jpg", kGrey}, {"b.jpg", "\x89PNG\r\n\x1A\n"}},
         {"b.jpg: error: NoStartOfImage (-217) on both paths: not a JPEG file (a PNG picture): "
          "save it as JPEG"},
         1,
         0},
        {"arithmetic",
         {{"captions.tsv", "a.jpg\tA\n"}, {"a.jpg", GreyJpeg(16, 16, "", 0xC9)}},
         {"a.jpg: error: ArithmeticCoding (-215) on both paths: arithmetic-coded: save it as an "
          "ordinary (Huffman-coded) JPEG"},
         1,
         0},
        {"12-bit",
         {{"captions.tsv", "a.jpg\tA\n"}, {"a.jpg", GreyJpeg(16, 16, "", 0xC1, 12)}},
         {"a.jpg: error: BadPrecision (-205) on both paths: not 8 bits per sample (12-bit?)"},
         1,
         0},
        {"truncated",
         {{"captions.tsv", twoLines},
          {"a.jpg", kGrey.substr(0, kGrey.size() - 2)},
          {"b.jpg", meadow.substr(0, 60000)}},
         {"a.jpg: error: truncated: the file ends before the picture does",
          "b.jpg: error: CorruptScan (-227) after 288 of 720 lines on both paths: damaged: the "
          "rest "
          "of the picture would show black"},
         2,
         0},
        {"cmyk",
         {{"captions.tsv", "a.jpg\tA\n"}, {"a.jpg", cmyk}},
         {"a.jpg: error: UnsupportedComponents (-225) on both paths: CMYK or YCCK (four colour "
          "components): save it as RGB"},
         1,
         0},
        {"empty", {}, {"captions.tsv: error: missing, and the folder holds no JPEG file"}, 1, 0},
        {"no-captions-file",
         {{"a.jpg", kGrey}},
         {"captions.tsv: error: missing: list the pictures in show order"},
         1,
         0},
        {"crlf",
         {{"captions.tsv", "a.jpg\tA\r\nb.jpg\tB\r\n"}, {"a.jpg", kGrey}, {"b.jpg", kGrey}},
         {"captions.tsv:1: warning: Windows line ends (CR LF), read as plain line ends\n"},
         0,
         1},
        {"bom",
         {{"captions.tsv", "\xEF\xBB\xBF"
                           "a.jpg\tA\n"},
          {"a.jpg", kGrey}},
         {"captions.tsv:1: warning: starts with a byte order mark (BOM), which is skipped\n"},
         0,
         1},
        {"utf-16",
         {{"captions.tsv", std::string("\xFF\xFE"
                                       "a\0",
                                       4)},
          {"a.jpg", kGrey}},
         {"captions.tsv:1: error: UTF-16 text: save it as UTF-8\n"},
         1,
         0},
        {"tab",
         {{"captions.tsv", "a.jpg\tA\tB\n"}, {"a.jpg", kGrey}},
         {"captions.tsv:1: error: a tab inside the caption"},
         1,
         0},
        {"windows-1252",
         {{"captions.tsv", "a.jpg\tCaf\xC3\xA9 \xE2\x80\x94 5 \xE2\x82\xAC\n"}, {"a.jpg", kGrey}},
         {"captions.tsv:1: note: \"\xC3\xA9\xE2\x80\x94\xE2\x82\xAC\" stored as Windows-1252"},
         0,
         0},
        {"not-windows-1252",
         {{"captions.tsv", "a.jpg\tA\nb.jpg\t\xE6\x9D\xB1\xE4\xBA\xAC\n"},
          {"a.jpg", kGrey},
          {"b.jpg", kGrey}},
         {"captions.tsv:2: error: \"\xE6\x9D\xB1\" (U+6771) has no Windows-1252 code: captions are "
          "shown as Windows-1252 (Western European) text"},
         1,
         0},
        {"latin-1",
         {{"captions.tsv", "a.jpg\tCaf\xE9\n"}, {"a.jpg", kGrey}},
         {"captions.tsv:1: error: byte 0xE9 at column 4 is no UTF-8"},
         1,
         0},
        {"listing",
         {{"captions.tsv", "a.jpg\nb.jpg\tB\nb.jpg\tagain\nnone.jpg\tN\n../a.jpg\tP\n\n  \n"},
          {"a.jpg", kGrey},
          {"b.jpg", kGrey},
          {"extra.JPG", kGrey},
          {"notes.txt", "not a picture"}},
         {"captions.tsv:1: warning: a.jpg has no caption",
          "captions.tsv:3: error: b.jpg is listed twice (first on line 2)",
          "captions.tsv:4: error: no file \"none.jpg\" in",
          "captions.tsv:5: error: \"../a.jpg\" is a path", "extra.JPG: error: not in captions.tsv"},
         4,
         1},
        {"ampersand",
         {{"captions.tsv", "a.jpg\tFish & chips\nb.jpg\tR&&D\n"},
          {"a.jpg", kGrey},
          {"b.jpg", kGrey}},
         {"captions.tsv:1: warning: '&' underlines the character after it instead of showing; "
          "write && for an ampersand\n"},
         0,
         1},
        {"pictures",
         {{"captions.tsv", "big.jpg\tB\nsix.jpg\tS\nthree.jpg\tT\none.jpg\tO\n"},
          {"big.jpg", GreyJpeg(4800, 3600)},
          {"six.jpg", GreyJpeg(160, 64, Exif(6, true))},
          {"three.jpg", GreyJpeg(160, 64, Exif(3, false))},
          {"one.jpg", GreyJpeg(160, 64, Exif(1, false))}},
         {"big.jpg: warning: 4800 x 3600 is far larger than any screen: every showing decodes and "
          "scales all 65 MB of it",
          "six.jpg: warning: EXIF orientation 6 (to be turned 90 degrees clockwise): the show does "
          "not turn pictures; save it the right way up\n"
          "three.jpg: warning: EXIF orientation 3 (upside down)"},
         0,
         3},
        {"caption-fit",
         {{"captions.tsv", "a.jpg\t" + std::string(45, 'x') + "\nb.jpg\t" + std::string(46, 'x') +
                               "\nc.jpg\tx" + lineBreaks(34) + "\nd.jpg\tx" + lineBreaks(35) +
                               "\ne.jpg\t" + std::string(96, 'x')},
          {"a.jpg", GreyJpeg(400, 600)},
          {"b.jpg", GreyJpeg(400, 600)},
          {"c.jpg", GreyJpeg(400, 600)},
          {"d.jpg", GreyJpeg(400, 600)},
          {"e.jpg", GreyJpeg(1600, 1200)}},
         {"captions.tsv:2: warning: caption too wide for its picture at 800 x 600 (shown 400 x "
          "600), 1920 x 1080 (shown 400 x 600): it is 368 x 16 pixels in an 8 x 16 font, and 40 "
          "more each way with its box and the gap to the picture's edge\n"
          "captions.tsv:4: warning: caption too tall for its picture at 800 x 600 (shown 400 x "
          "600), 1920 x 1080 (shown 400 x 600): it is 8 x 576 pixels",
          "captions.tsv:5: warning: caption too wide for its picture at 800 x 600 (shown 800 x "
          "600): it is 768 x 16 pixels"},
         0,
         3},
    };
    for (const auto& p : packs) {
        SCOPED_TRACE(p.Name);
        const Checked c = Check(p.Name, p.Pack);
        for (const std::string& message : p.Messages)
            EXPECT_NE(c.report.find(message), std::string::npos) << message << "\nin\n" << c.report;
        EXPECT_EQ(c.pack.Count(Severity::Error), p.Errors) << c.report;
        EXPECT_EQ(c.pack.Count(Severity::Warning), p.Warnings) << c.report;
    }
}

TEST(PackOutput, TheResourceScriptEscapesCaptionsAndNamesAndTheProofSheetShowsEachScreen) {
    const fs::path folder = MakeFolder(
        "output",
        {{"captions.tsv", "a \"q\".jpg\tSay \"hi\"\\nC:\\dir\n300.jpg\tCaf\xC3\xA9\nb.jpg\n"},
         {"a \"q\".jpg", GreyJpeg(400, 300)},
         {"300.jpg", GreyJpeg(1600, 1200)},
         {"b.jpg", kGrey}});
    Pack pack = ReadPack(folder.string());
    std::string error;
    const std::string script = (folder / "Pictures.rc").string();
    ASSERT_TRUE(WriteResourceScript(pack, script, error)) << error;
    std::ifstream written(script);
    const std::string path = fs::absolute(folder).string();
    EXPECT_EQ(
        std::string(std::istreambuf_iterator<char>(written), {}),
        "// The pictures of " + folder.string() +
            " and their captions, written by check-pack.\n#pragma code_page(1252)\n\n"
            "STRINGTABLE\nBEGIN\n    114 \"Say \"\"hi\"\"\\nC:\\\\dir\"\n    300 \"Caf\\351\"\n"
            "END\n\n114 RCDATA \"" +
            path + "/a \"\"q\"\".jpg\"\n300 RCDATA \"" + path + "/300.jpg\"\n301 RCDATA \"" + path +
            "/b.jpg\"\n");
    EXPECT_FALSE(WriteResourceScript(pack, (folder / "none" / "x.rc").string(), error));

    // 400 x 300 stands 1:1 at (200, 150) of an 800 x 600 screen, 1600 x 1200 fills it; the 16 x 16
    // caption's box spans picture columns 344 to 379 and rows 244 to 279.
    pack.Pictures[0].Caption = "Hi";
    pack.Pictures.pop_back();
    for (const int scale : {1, 2}) {
        ProofOptions options;
        options.ScreenWidth = 800;
        options.ScreenHeight = 600;
        options.Scale = scale;
        const std::string sheet = (folder / "proof.ppm").string();
        ASSERT_TRUE(WriteProofSheet(pack, options, sheet, error)) << error;
        std::ifstream ppm(sheet, std::ios::binary);
        std::string magic;
        int width = 0, height = 0, maxval = 0;
        ppm >> magic >> width >> height >> maxval;
        ppm.get();
        const std::string rgb{std::istreambuf_iterator<char>(ppm), {}};
        const auto at = [&](int x, int y) {
            const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
            return PackPixel(static_cast<unsigned char>(rgb.at(i)),
                             static_cast<unsigned char>(rgb[i + 1]),
                             static_cast<unsigned char>(rgb[i + 2]));
        };
        EXPECT_EQ(std::make_pair(width, height),
                  std::make_pair(2 * (800 / scale + 8) + 8, 600 / scale + 16));
        EXPECT_EQ(at(0, 0), 0x606060u);
        EXPECT_NEAR(PixelRed(at(8 + 808 / scale + 400 / scale, 8 + 300 / scale)), 128, 1);
        if (scale > 1) continue;
        const std::pair<std::pair<int, int>, Pixel> screen[] = {{{100, 100}, 0},
                                                                {{210, 160}, 0x808080},
                                                                {{200 + 379, 150 + 279}, 0},
                                                                {{200 + 344, 150 + 260}, 0},
                                                                {{200 + 350, 150 + 250}, 0x808080},
                                                                {{200 + 351, 150 + 250}, 0},
                                                                {{200 + 380, 150 + 260}, 0x808080}};
        for (const auto& [point, pixel] : screen)
            EXPECT_EQ(at(8 + point.first, 8 + point.second), pixel)
                << point.first << ", " << point.second;
    }
}

TEST(CheckPackProgram, AnErrorExitsWithOneAndLeavesNoResourceScript) {
    const fs::path good =
        MakeFolder("program-good", {{"captions.tsv", "a.jpg\tA\n"}, {"a.jpg", kGrey}});
    const fs::path bad =
        MakeFolder("program-bad", {{"captions.tsv", "a.jpg\tA\tB\n"}, {"a.jpg", kGrey}});
    const fs::path script = fs::path(testing::TempDir()) / "program.rc";
    const fs::path output = fs::path(testing::TempDir()) / "program.txt";
    const auto run = [&](const std::string& arguments) {
        const int status = std::system(
            (std::string(LM_CHECK_PACK) + " " + arguments + " >" + output.string() + " 2>&1")
                .c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::ofstream(script) << "stale";
    EXPECT_EQ(run("--resource-script " + script.string() + " " + bad.string()), 1);
    EXPECT_FALSE(fs::exists(script));
    std::ifstream said(output);
    const std::string text{std::istreambuf_iterator<char>(said), {}};
    EXPECT_NE(text.find(bad.string() + "/captions.tsv:1: error: a tab inside the caption"),
              std::string::npos)
        << text;
    EXPECT_EQ(run("--resource-script " + script.string() + " " + good.string()), 0);
    EXPECT_TRUE(fs::exists(script));
    EXPECT_EQ(run("--depth"), 2);
}
