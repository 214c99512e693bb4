// Picture packs of every kind of fault, and a few with warnings only, with the messages the pack
// code gives them: check-pack's table, which LanternmoorPack.exe must answer the same. The
// pictures are grey JPEG files, some with EXIF segments.
#pragma once

#include "tests/jpeg/ExifSegment.h"
#include "tests/jpeg/JpegWriter.h"

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace packs {

// A grey JPEG file of w x h, `app` after its SOI.
inline std::string GreyJpeg(int w, int h, const std::string& app = "", int sof = 0xC0,
                            int bits = 8) {
    const jpegfile::Bytes file =
        jpegfile::flatGreyFile(w, h, jpegfile::Bytes(app.begin(), app.end()), sof, bits);
    return {file.begin(), file.end()};
}

const std::string kGrey = GreyJpeg(160, 64); // room for a caption of 15 characters
const std::string kNoFile = "(not written)";

using Files = std::map<std::string, std::string>; // name: bytes

// The files of a pack: `files`, captions.tsv (when not empty) and kGrey for every other plain
// ASCII name a line of it starts with; none for kNoFile.
inline Files PackFiles(const std::string& captions, Files files) {
    std::istringstream lines(captions);
    for (std::string line; std::getline(lines, line);)
        if (line.find_first_of("/\x80\xBB\xEF\xFE\xFF") == std::string::npos)
            files.emplace(line.substr(0, line.find('\t')), kGrey);
    if (!captions.empty()) files["captions.tsv"] = captions;
    for (auto file = files.begin(); file != files.end();)
        file = file->second == kNoFile ? files.erase(file) : std::next(file);
    return files;
}

struct BadPack {
    const char* Name;
    std::string Captions;
    Files Extra; // files besides captions.tsv and kGrey pictures
    // Its errors and warnings, every one of them, and any notes, each without the folder's name.
    std::vector<std::string> Messages;
    int Count(const std::string& level) const {
        int n = 0;
        for (const std::string& message : Messages)
            n += message.find(": " + level + ": ") != std::string::npos;
        return n;
    }
};

// `meadow` is the start of a real photograph (the shipped 114.jpg), cut off part way.
inline std::vector<BadPack> BadPacks(const std::string& meadow) {
    const std::string two = "a.jpg\tA\nb.jpg\tB\n", one = "a.jpg\tA\n";
    const std::string cmyk = std::string("\xFF\xD8\xFF\xC0\x00\x14\x08\x00\x10\x00\x10\x04", 12) +
                             std::string("\x01\x11\x00\x02\x11\x00\x03\x11\x00\x04\x11\x00", 12);
    std::string breaks;
    for (int i = 0; i < 35; ++i)
        breaks += "\\n";
    return {
        {"non-jpeg",
         two,
         {{"b.jpg", "\x89PNG\r\n\x1A\n"}},
         {"b.jpg: error: NoStartOfImage (-217) on both paths: not a JPEG file (a PNG picture)"}},
        {"arithmetic",
         one,
         {{"a.jpg", GreyJpeg(16, 16, "", 0xC9)}},
         {"a.jpg: error: ArithmeticCoding (-215) on both paths: arithmetic-coded"}},
        {"12-bit",
         one,
         {{"a.jpg", GreyJpeg(16, 16, "", 0xC1, 12)}},
         {"a.jpg: error: BadPrecision (-205) on both paths: not 8 bits per sample"}},
        {"truncated",
         two,
         {{"a.jpg", kGrey.substr(0, kGrey.size() - 2)}, {"b.jpg", meadow}},
         {"a.jpg: error: truncated: the file ends before the picture does",
          "b.jpg: error: CorruptScan (-227) after 288 of 720 lines on both paths: damaged"}},
        {"cmyk",
         one,
         {{"a.jpg", cmyk}},
         {"a.jpg: error: UnsupportedComponents (-225) on both paths: CMYK or YCCK (four colour "
          "components): save it as RGB"}},
        {"empty", "", {}, {"captions.tsv: error: missing, and the folder holds no JPEG file"}},
        {"no-captions-file", "", {{"a.jpg", kGrey}}, {"captions.tsv: error: missing: list the"}},
        {"crlf",
         "a.jpg\tA\r\nb.jpg\tB\r\n",
         {},
         {"captions.tsv:1: warning: Windows line ends (CR LF), read as plain line ends\n"}},
        {"bom",
         "\xEF\xBB\xBF"
         "a.jpg\tA\n",
         {{"a.jpg", kGrey}},
         {"captions.tsv:1: warning: starts with a byte order mark"}},
        {"utf-16",
         "\xFF\xFE"
         "a",
         {},
         {"captions.tsv:1: error: UTF-16 text: save it as UTF-8\n"}},
        {"tab", "a.jpg\tA\tB\n", {}, {"captions.tsv:1: error: a tab inside the caption"}},
        {"windows-1252",
         "a.jpg\tCaf\xC3\xA9 \xE2\x82\xAC\n",
         {},
         {"captions.tsv:1: note: \"\xC3\xA9\xE2\x82\xAC\" stored as Windows-1252"}},
        {"no-windows-1252",
         "a.jpg\tA\nb.jpg\t\xE6\x9D\xB1\n",
         {},
         {"captions.tsv:2: error: \"\xE6\x9D\xB1\" (U+6771) has no Windows-1252 code"}},
        {"latin-1",
         "a.jpg\tCaf\xE9\n",
         {},
         {"captions.tsv:1: error: byte 0xE9 at column 4 is no UTF-8"}},
        {"listing",
         "a.jpg\nb.jpg\tB\nb.jpg\tagain\nno.jpg\tN\n../a.jpg\tP\n\n  \n",
         {{"extra.JPG", kGrey}, {"notes.txt", "text"}, {"no.jpg", kNoFile}},
         {"captions.tsv:1: warning: a.jpg has no caption",
          "captions.tsv:3: error: b.jpg is listed twice (first on line 2)",
          "captions.tsv:4: error: no file \"no.jpg\" in",
          "captions.tsv:5: error: \"../a.jpg\" is a path",
          "extra.JPG: error: not in captions.tsv"}},
        {"ampersand",
         "a.jpg\tFish & chips\nb.jpg\tR&&D\n",
         {},
         {"captions.tsv:1: warning: '&' underlines the character after it"}},
        // Turned pictures are told as notes; the caption must fit the upright picture.
        {"pictures",
         "big.jpg\tB\nsix.jpg\tS\nthree.jpg\tT\none.jpg\tO\nwide.jpg\t1234567890\n",
         {{"big.jpg", GreyJpeg(4800, 3600)},
          {"six.jpg", GreyJpeg(160, 64, exif::Orientation(6, true))},
          {"three.jpg", GreyJpeg(160, 64, exif::Orientation(3, false))},
          {"one.jpg", GreyJpeg(160, 64, exif::Orientation(1, false))},
          {"wide.jpg", GreyJpeg(400, 100, exif::Orientation(8, false))}},
         {"big.jpg: warning: 4800 x 3600 is far larger than any screen: every showing decodes "
          "and scales all 65 MB",
          "six.jpg: note: EXIF orientation 6: shown turned 90 degrees clockwise, 64 x 160 "
          "upright\n",
          "three.jpg: note: EXIF orientation 3: shown turned 180 degrees\n",
          "captions.tsv:5: warning: caption too wide for its picture at 800 x 600 (shown 100 x "
          "400), 1920 x 1080 (shown 100 x 400)"}},
        // Credits: every line's problem; the longest the About box takes, and one character more.
        {"credits",
         one,
         {{"credits.txt", "Photos: Ann\nCaf\xC3\xA9 \xE6\x9D\xB1\n\x01 bell\n"}},
         {"credits.txt:2: error: \"\xE6\x9D\xB1\" (U+6771) has no Windows-1252 code: the "
          "credits are shown as Windows-1252",
          "credits.txt:3: error: control character 0x01 in the credits"}},
        {"credits-longest",
         one,
         {{"credits.txt", std::string(14999, 'x') + "\n" + std::string(14999, 'y')}},
         {}},
        {"credits-too-long",
         one,
         {{"credits.txt", std::string(15000, 'x') + "\n" + std::string(14999, 'y')}},
         {"credits.txt: error: 30001 characters with their line ends: the About box shows at "
          "most 30000"}},
        // At 400 x 600 a box fits 45 characters and 35 lines; 1600 x 1200 is shown 800 x 600.
        {"caption-fit",
         ("a.jpg\t" + std::string(45, 'x') + "\nb.jpg\t" + std::string(46, 'x') + "\nc.jpg\tx" +
          breaks.substr(2) + "\nd.jpg\tx" + breaks + "\ne.jpg\t" + std::string(96, 'x')),
         {{"a.jpg", GreyJpeg(400, 600)},
          {"b.jpg", GreyJpeg(400, 600)},
          {"c.jpg", GreyJpeg(400, 600)},
          {"d.jpg", GreyJpeg(400, 600)},
          {"e.jpg", GreyJpeg(1600, 1200)}},
         {"captions.tsv:2: warning: caption too wide for its picture at 800 x 600 (shown 400 x "
          "600), 1920 x 1080 (shown 400 x 600): it is 368 x 16 pixels in an 8 x 16 font, and 40 "
          "more each way with its box and the gap to the picture's edge",
          "captions.tsv:4: warning: caption too tall for its picture at 800 x 600 (shown 400 x "
          "600), 1920 x 1080 (shown 400 x 600): it is 8 x 576 pixels",
          "captions.tsv:5: warning: caption too wide for its picture at 800 x 600 (shown 800 x "
          "600): it is 768 x 16 pixels"}},
    };
}

} // namespace packs
