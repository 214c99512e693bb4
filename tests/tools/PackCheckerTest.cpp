// check-pack: ids, caption text, one table of packs (every kind of bad one) with the messages
// that name file and line, the resource script with the credits, the proof sheet's pixels, the
// captions started from a folder of photographs and the program's exit status. The pictures are
// grey JPEG files written here, some with EXIF segments.
#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "tests/jpeg/ExifSegment.h"
#include "tools/check-pack/NewCaptions.h"
#include "tools/check-pack/Pack.h"
#include "tools/check-pack/PackCheck.h"
#include "tools/check-pack/PackOutput.h"
#include "tools/prepare-picture/PictureFile.h"

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
    std::string f = "\xFF\xD8" + app + std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, 1) +
                    "\xFF" + static_cast<char>(sof) + Big16(11) + static_cast<char>(bits) +
                    Big16(h) + Big16(w) + std::string("\x01\x01\x11\x00", 4);
    for (const char table : {'\x00', '\x10'})
        f += std::string("\xFF\xC4\x00\x14", 4) + table + '\x01' + std::string(16, '\0');
    const long blocks = static_cast<long>((w + 7) / 8) * ((h + 7) / 8);
    return f + std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10) +
           std::string(static_cast<std::size_t>(blocks + 3) / 4, '\0') + "\xFF\xD9";
}

const std::string kGrey = GreyJpeg(160, 64); // room for a caption of 15 characters
const std::string kNoFile = "(not written)";

using Files = std::map<std::string, std::string>;

fs::path MakeFolder(const std::string& name, const Files& files) {
    const fs::path folder = fs::path(LM_PACK_TESTS_DIR) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& [file, bytes] : files)
        if (bytes != kNoFile) std::ofstream(folder / file, std::ios::binary) << bytes;
    return folder;
}

// A pack of `captions` and `files` (kGrey for every other plain ASCII name a line starts with,
// none for kNoFile) read and checked as check-pack does; its messages without the folder's name.
struct Checked {
    Pack pack;
    std::string report;
};
Checked Check(const std::string& name, const std::string& captions, Files files = {},
              const IdRules& rules = BuiltInIdRules()) {
    std::istringstream lines(captions);
    for (std::string line; std::getline(lines, line);)
        if (line.find_first_of("/\x80\xBB\xEF\xFE\xFF") == std::string::npos)
            files.emplace(line.substr(0, line.find('\t')), kGrey);
    if (!captions.empty()) files["captions.tsv"] = captions;
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

std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
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
    const std::string two = "a.jpg\tA\nb.jpg\tB\n", one = "a.jpg\tA\n";
    const std::string cmyk = std::string("\xFF\xD8\xFF\xC0\x00\x14\x08\x00\x10\x00\x10\x04", 12) +
                             std::string("\x01\x11\x00\x02\x11\x00\x03\x11\x00\x04\x11\x00", 12);
    const std::string meadow = Read(LM_PICTURES_DIR "/114.jpg").substr(0, 60000);
    std::string breaks;
    for (int i = 0; i < 35; ++i)
        breaks += "\\n";
    // Each pack: its name, captions.tsv, files (kGrey for the others it names), how many errors
    // and warnings it gives, and messages among them.
    const auto expect = [](const char* name, const std::string& captions, const Files& files,
                           int errors, int warnings, const std::vector<std::string>& messages) {
        SCOPED_TRACE(name);
        const Checked c = Check(name, captions, files);
        for (const std::string& message : messages)
            EXPECT_NE(c.report.find(message), std::string::npos) << message << "\nin\n" << c.report;
        EXPECT_EQ(c.pack.Count(Severity::Error), errors) << c.report;
        EXPECT_EQ(c.pack.Count(Severity::Warning), warnings) << c.report;
    };
    expect("non-jpeg", two, {{"b.jpg", "\x89PNG\r\n\x1A\n"}}, 1, 0,
           {"b.jpg: error: NoStartOfImage (-217) on both paths: not a JPEG file (a PNG picture)"});
    expect("arithmetic", one, {{"a.jpg", GreyJpeg(16, 16, "", 0xC9)}}, 1, 0,
           {"a.jpg: error: ArithmeticCoding (-215) on both paths: arithmetic-coded"});
    expect("12-bit", one, {{"a.jpg", GreyJpeg(16, 16, "", 0xC1, 12)}}, 1, 0,
           {"a.jpg: error: BadPrecision (-205) on both paths: not 8 bits per sample"});
    expect("truncated", two, {{"a.jpg", kGrey.substr(0, kGrey.size() - 2)}, {"b.jpg", meadow}}, 2,
           0,
           {"a.jpg: error: truncated: the file ends before the picture does",
            "b.jpg: error: CorruptScan (-227) after 288 of 720 lines on both paths: damaged"});
    expect("cmyk", one, {{"a.jpg", cmyk}}, 1, 0,
           {"a.jpg: error: UnsupportedComponents (-225) on both paths: CMYK or YCCK (four colour "
            "components): save it as RGB"});
    expect("empty", "", {}, 1, 0,
           {"captions.tsv: error: missing, and the folder holds no JPEG file"});
    expect("no-captions-file", "", {{"a.jpg", kGrey}}, 1, 0,
           {"captions.tsv: error: missing: list the"});
    expect("crlf", "a.jpg\tA\r\nb.jpg\tB\r\n", {}, 0, 1,
           {"captions.tsv:1: warning: Windows line ends (CR LF), read as plain line ends\n"});
    expect("bom",
           "\xEF\xBB\xBF"
           "a.jpg\tA\n",
           {{"a.jpg", kGrey}}, 0, 1, {"captions.tsv:1: warning: starts with a byte order mark"});
    expect("utf-16",
           "\xFF\xFE"
           "a",
           {}, 1, 0, {"captions.tsv:1: error: UTF-16 text: save it as UTF-8\n"});
    expect("tab", "a.jpg\tA\tB\n", {}, 1, 0, {"captions.tsv:1: error: a tab inside the caption"});
    expect("windows-1252", "a.jpg\tCaf\xC3\xA9 \xE2\x82\xAC\n", {}, 0, 0,
           {"captions.tsv:1: note: \"\xC3\xA9\xE2\x82\xAC\" stored as Windows-1252"});
    expect("no-windows-1252", "a.jpg\tA\nb.jpg\t\xE6\x9D\xB1\n", {}, 1, 0,
           {"captions.tsv:2: error: \"\xE6\x9D\xB1\" (U+6771) has no Windows-1252 code"});
    expect("latin-1", "a.jpg\tCaf\xE9\n", {}, 1, 0,
           {"captions.tsv:1: error: byte 0xE9 at column 4 is no UTF-8"});
    expect("listing", "a.jpg\nb.jpg\tB\nb.jpg\tagain\nno.jpg\tN\n../a.jpg\tP\n\n  \n",
           {{"extra.JPG", kGrey}, {"notes.txt", "text"}, {"no.jpg", kNoFile}}, 4, 1,
           {"captions.tsv:1: warning: a.jpg has no caption",
            "captions.tsv:3: error: b.jpg is listed twice (first on line 2)",
            "captions.tsv:4: error: no file \"no.jpg\" in",
            "captions.tsv:5: error: \"../a.jpg\" is a path",
            "extra.JPG: error: not in captions.tsv"});
    expect("ampersand", "a.jpg\tFish & chips\nb.jpg\tR&&D\n", {}, 0, 1,
           {"captions.tsv:1: warning: '&' underlines the character after it"});
    // Turned pictures are told as notes; the caption must fit the upright picture.
    expect("pictures", "big.jpg\tB\nsix.jpg\tS\nthree.jpg\tT\none.jpg\tO\nwide.jpg\t1234567890\n",
           {{"big.jpg", GreyJpeg(4800, 3600)},
            {"six.jpg", GreyJpeg(160, 64, exif::Orientation(6, true))},
            {"three.jpg", GreyJpeg(160, 64, exif::Orientation(3, false))},
            {"one.jpg", GreyJpeg(160, 64, exif::Orientation(1, false))},
            {"wide.jpg", GreyJpeg(400, 100, exif::Orientation(8, false))}},
           0, 2,
           {"big.jpg: warning: 4800 x 3600 is far larger than any screen: every showing decodes "
            "and scales all 65 MB",
            "six.jpg: note: EXIF orientation 6: shown turned 90 degrees clockwise, 64 x 160 "
            "upright\n",
            "three.jpg: note: EXIF orientation 3: shown turned 180 degrees\n",
            "captions.tsv:5: warning: caption too wide for its picture at 800 x 600 (shown 100 x "
            "400), 1920 x 1080 (shown 100 x 400)"});
    // Credits: every line's problem; the longest the About box takes, and one character more.
    expect("credits", one, {{"credits.txt", "Photos: Ann\nCaf\xC3\xA9 \xE6\x9D\xB1\n\x01 bell\n"}},
           2, 0,
           {"credits.txt:2: error: \"\xE6\x9D\xB1\" (U+6771) has no Windows-1252 code: the "
            "credits are shown as Windows-1252",
            "credits.txt:3: error: control character 0x01 in the credits"});
    expect("credits-longest", one,
           {{"credits.txt", std::string(14999, 'x') + "\n" + std::string(14999, 'y')}}, 0, 0, {});
    expect("credits-too-long", one,
           {{"credits.txt", std::string(15000, 'x') + "\n" + std::string(14999, 'y')}}, 1, 0,
           {"credits.txt: error: 30001 characters with their line ends: the About box shows at "
            "most 30000"});
    // At 400 x 600 a box fits 45 characters and 35 lines; 1600 x 1200 is shown 800 x 600.
    expect("caption-fit",
           ("a.jpg\t" + std::string(45, 'x') + "\nb.jpg\t" + std::string(46, 'x') + "\nc.jpg\tx" +
            breaks.substr(2) + "\nd.jpg\tx" + breaks + "\ne.jpg\t" + std::string(96, 'x')),
           {{"a.jpg", GreyJpeg(400, 600)},
            {"b.jpg", GreyJpeg(400, 600)},
            {"c.jpg", GreyJpeg(400, 600)},
            {"d.jpg", GreyJpeg(400, 600)},
            {"e.jpg", GreyJpeg(1600, 1200)}},
           0, 3,
           {"captions.tsv:2: warning: caption too wide for its picture at 800 x 600 (shown 400 x "
            "600), 1920 x 1080 (shown 400 x 600): it is 368 x 16 pixels in an 8 x 16 font, and 40 "
            "more each way with its box and the gap to the picture's edge",
            "captions.tsv:4: warning: caption too tall for its picture at 800 x 600 (shown 400 x "
            "600), 1920 x 1080 (shown 400 x 600): it is 8 x 576 pixels",
            "captions.tsv:5: warning: caption too wide for its picture at 800 x 600 (shown 800 x "
            "600): it is 768 x 16 pixels"});
    // Ids run out (from 65534 here, 65535 in use): the first picture without one says so.
    EXPECT_NE(Check("ids", two, {}, {65534, {65535}})
                  .report.find("captions.tsv:2: error: more pictures than resource ids"),
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
        Read(folder / "Pictures.rc"),
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
        const std::string file = Read(folder / "proof.ppm");
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
    EXPECT_EQ(Read(folder / "captions.tsv"), "C.jpeg\tC\n"
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
    EXPECT_EQ(Read(folder / "captions.tsv"), "mine");
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
    EXPECT_NE(Read(output).find(bad.string() + "/captions.tsv:1: error: a tab inside the caption"),
              std::string::npos);
    EXPECT_EQ(run("--resource-script " + script.string() + " " + good.string()), 0);
    EXPECT_TRUE(fs::exists(script));
    // Captions started: a line per picture; over an existing file, an error; with another
    // option, a usage error.
    const fs::path fresh = MakeFolder("fresh", {{"a.jpg", kGrey}});
    EXPECT_EQ(run("--new-captions " + fresh.string()), 0);
    EXPECT_NE(Read(output).find("a.jpg: \"a\" (file name)\n"), std::string::npos);
    EXPECT_EQ(run("--new-captions " + fresh.string()), 1);
    EXPECT_NE(Read(output).find(fresh.string() + "/captions.tsv: error: already exists"),
              std::string::npos);
    EXPECT_EQ(run("--new-captions --quiet " + fresh.string()), 2);
}
