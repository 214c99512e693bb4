#include "tools/check-pack/Pack.h"

#include "resources/ResourceIds.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

extern const char kResourceIdsHeader[]; // the text of resources/ResourceIds.h, built in

namespace fs = std::filesystem;

namespace {

// The characters of Windows-1252 bytes 0x80 to 0x9F (0: none); bytes 0xA0 to 0xFF are the
// characters of the same numbers.
const unsigned kFrom0x80[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int ToCode(unsigned c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kFrom0x80[i] == c && c != 0) return 0x80 + i;
    return -1;
}

// The next character of UTF-8 text at `at`, or -1 for bytes that are no UTF-8 (overlong forms and
// surrogates included).
long NextCharacter(const std::string& s, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned lead = byte(at);
    const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || at + extra >= s.size()) return -1;
    unsigned long c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return -1;
        c = c << 6 | (byte(at + i) & 0x3F);
    }
    const unsigned long least[4] = {0, 0x80, 0x800, 0x10000};
    if (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
    at += extra + 1;
    return static_cast<long>(c);
}

std::string Hex(unsigned long value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*lX", digits & 15, value);
    return text;
}

// The lines of a pack's text file, which is UTF-8: a byte order mark is skipped and Windows line
// ends are read as plain ones, each with a warning. False, with an error, for UTF-16 text.
bool ReadLines(Pack& pack, const std::string& path, std::string content,
               std::vector<std::string>& lines) {
    const std::string at1 = path + ":1";
    if (content.rfind("\xFF\xFE", 0) == 0 || content.rfind("\xFE\xFF", 0) == 0) {
        pack.Add(at1, Severity::Error, "UTF-16 text: save it as UTF-8");
        return false;
    }
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) {
        pack.Add(at1, Severity::Warning, "starts with a byte order mark (BOM), which is skipped");
        content.erase(0, 3);
    }
    std::istringstream stream(content);
    bool crlfTold = false;
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (!crlfTold)
                pack.Add(path + ":" + std::to_string(lines.size() + 1), Severity::Warning,
                         "Windows line ends (CR LF), read as plain line ends");
            crlfTold = true;
        }
        lines.push_back(line);
    }
    return true;
}

std::string FileText(const std::string& path, bool& found) {
    std::ifstream file(fs::u8path(path), std::ios::binary);
    found = static_cast<bool>(file);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// credits.txt, if the pack has one: its lines in Windows-1252, joined by CR LF.
void ReadCredits(Pack& pack) {
    const std::string path = PackFile(pack.Folder, "credits.txt");
    bool found = false;
    std::vector<std::string> lines;
    if (!ReadLines(pack, path, FileText(path, found), lines) || !found) return;
    std::string credits;
    bool good = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string where = path + ":" + std::to_string(i + 1);
        const std::string& line = lines[i];
        const auto control = std::find_if(line.begin(), line.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
        });
        std::string text, problem;
        if (control != line.end()) {
            pack.Add(where, Severity::Error,
                     "control character 0x" + Hex(static_cast<unsigned char>(*control), 2) +
                         " in the credits");
            good = false;
        } else if (!ToWindows1252(line, text, problem)) {
            pack.Add(where, Severity::Error,
                     problem + ": the credits are shown as Windows-1252 (Western European) text");
            good = false;
        }
        credits += (i > 0 ? "\r\n" : "") + text;
    }
    if (credits.size() > PACK_CREDITS_LIMIT) {
        pack.Add(path, Severity::Error,
                 std::to_string(credits.size()) +
                     " characters with their line ends: the About box shows at most " +
                     std::to_string(PACK_CREDITS_LIMIT));
        good = false;
    }
    if (good && credits.find_first_not_of("\r\n\t ") != std::string::npos) pack.Credits = credits;
}

// The caption of a line: `\n` becomes a line break; then Windows-1252, with every problem told.
void ReadCaption(Pack& pack, const std::string& where, const std::string& raw,
                 std::string& caption) {
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') {
            text += '\n';
            ++i;
        } else if (c == '\t') {
            return pack.Add(where, Severity::Error,
                            "a tab inside the caption: a line holds one tab, between the file "
                            "name and the caption");
        } else if (c < 0x20 || c == 0x7F) {
            return pack.Add(where, Severity::Error,
                            "control character 0x" + Hex(c, 2) + " in the caption");
        } else {
            text += static_cast<char>(c);
        }
    }
    std::string problem;
    if (!ToWindows1252(text, caption, problem))
        return pack.Add(where, Severity::Error,
                        problem + ": captions are shown as Windows-1252 (Western European) text");
    std::string nonAscii;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) nonAscii += text[i];
    if (!nonAscii.empty())
        pack.Add(where, Severity::Note,
                 "\"" + nonAscii +
                     "\" stored as Windows-1252: shown as written where Windows' ANSI code "
                     "page is 1252 (Western European)");
    // DrawText takes a single '&' as the prefix of an underlined mnemonic; "&&" is an ampersand.
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (i + 1 < caption.size() && caption[i + 1] == '&') {
            ++i;
            continue;
        }
        pack.Add(where, Severity::Warning,
                 "'&' underlines the character after it instead of showing; write && for an "
                 "ampersand");
        break;
    }
}

} // namespace

std::string PackFile(const std::string& folder, const std::string& name) {
    return (fs::u8path(folder) / fs::u8path(name)).u8string();
}

int Pack::Count(Severity level) const {
    return static_cast<int>(std::count_if(Messages.begin(), Messages.end(),
                                          [&](const PackMessage& m) { return m.Level == level; }));
}

IdRules ReadIdRules(const std::string& headerText) {
    IdRules rules;
    rules.Reserved.push_back(1);
    std::istringstream lines(headerText);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string define, name;
        int value = 0;
        if (!(words >> define >> name >> value) || define != "#define" || name.size() < 5 ||
            name.compare(0, 2, "ID") != 0 || name[3] != '_')
            continue;
        const std::string kind = name.substr(0, 3);
        if (name == "IDR_FIRST_PICTURE")
            rules.First = value;
        else if (kind == "IDS" || kind == "IDI" || kind == "IDB" || kind == "IDD")
            rules.Reserved.push_back(value);
    }
    std::sort(rules.Reserved.begin(), rules.Reserved.end());
    rules.Reserved.erase(std::unique(rules.Reserved.begin(), rules.Reserved.end()),
                         rules.Reserved.end());
    return rules;
}

const IdRules& BuiltInIdRules() {
    static const IdRules rules = ReadIdRules(kResourceIdsHeader);
    return rules;
}

std::vector<int> AssignIds(const std::vector<std::string>& names, const IdRules& rules) {
    const auto free = [&](long id) {
        return !std::binary_search(rules.Reserved.begin(), rules.Reserved.end(), id);
    };
    std::vector<int> ids;
    long previous = rules.First - 1;
    for (const std::string& name : names) {
        const std::string stem = name.substr(0, name.find('.'));
        long id = 0;
        if (!stem.empty() && stem.size() <= 5 && stem[0] != '0' &&
            stem.find_first_not_of("0123456789") == std::string::npos)
            id = std::stol(stem);
        if (id <= previous || id > kLastResourceId || !free(id)) {
            id = previous + 1;
            while (id <= kLastResourceId && !free(id))
                ++id;
        }
        ids.push_back(id <= kLastResourceId ? static_cast<int>(id) : 0);
        previous = id;
    }
    return ids;
}

unsigned Windows1252Character(unsigned char byte) {
    return byte < 0x80 || byte >= 0xA0 ? byte : kFrom0x80[byte - 0x80];
}

bool ToWindows1252(const std::string& utf8, std::string& text, std::string& problem) {
    text.clear();
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t start = at;
        const long c = NextCharacter(utf8, at);
        if (c < 0) {
            problem = "byte 0x" + Hex(static_cast<unsigned char>(utf8[start]), 2) + " at column " +
                      std::to_string(start + 1) + " is no UTF-8 (save the file as UTF-8)";
            return false;
        }
        const int code = ToCode(static_cast<unsigned>(c));
        if (code < 0) {
            problem = "\"" + utf8.substr(start, at - start) + "\" (U+" + Hex(c, 4) +
                      ") has no Windows-1252 code";
            return false;
        }
        text += static_cast<char>(code);
    }
    return true;
}

std::string ToWindows1252Characters(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        long c = NextCharacter(text, at);
        if (c < 0) { // no UTF-8: a Windows-1252 byte, or nothing
            c = Windows1252Character(static_cast<unsigned char>(text[at++]));
            if (c == 0) c = '?';
        } else if (ToCode(static_cast<unsigned>(c)) < 0) {
            c = '?';
        }
        if (c < 0x20 || c == 0x7F) c = ' ';
        // Every character Windows-1252 has lies below U+10000: at most three bytes of UTF-8.
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> JpegFilesOf(const std::string& folder) {
    const auto isJpeg = [](std::string name) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const auto endsWith = [&](const std::string& tail) {
            return name.size() > tail.size() &&
                   name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
        };
        return endsWith(".jpg") || endsWith(".jpeg");
    };
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder), error))
        if (entry.is_regular_file(error) && isJpeg(entry.path().filename().u8string()))
            names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

Pack ReadPack(const std::string& folder, const IdRules& rules) {
    Pack pack;
    pack.Folder = folder;
    pack.CaptionsFile = PackFile(folder, "captions.tsv");
    std::error_code error;
    if (!fs::is_directory(fs::u8path(folder), error)) {
        pack.Add(folder, Severity::Error, "no such folder");
        return pack;
    }
    const std::vector<std::string> jpegFiles = JpegFilesOf(folder);
    ReadCredits(pack);

    bool found = false;
    std::vector<std::string> lines;
    const std::string content = FileText(pack.CaptionsFile, found);
    if (!found) {
        pack.Add(pack.CaptionsFile, Severity::Error,
                 jpegFiles.empty() ? "missing, and the folder holds no JPEG file: no pictures"
                                   : "missing: list the pictures in show order, one a line: file "
                                     "name, tab, caption");
        return pack;
    }
    if (!ReadLines(pack, pack.CaptionsFile, content, lines)) return pack;

    std::map<std::string, int> listed; // name: line
    std::vector<std::string> names;
    for (int number = 1; number <= static_cast<int>(lines.size()); ++number) {
        const std::string& line = lines[static_cast<std::size_t>(number - 1)];
        const std::string where = pack.CaptionsFile + ":" + std::to_string(number);
        if (line.find_first_not_of(" ") == std::string::npos) continue;
        const std::size_t tab = line.find('\t');
        PackPicture picture;
        picture.Name = line.substr(0, tab);
        picture.Line = number;
        if (picture.Name.find_first_of("/\\") != std::string::npos || picture.Name == "." ||
            picture.Name == "..") {
            pack.Add(where, Severity::Error,
                     "\"" + picture.Name + "\" is a path: name a file of the pack's folder");
            continue;
        }
        const auto [first, added] = listed.emplace(picture.Name, number);
        if (!added) {
            pack.Add(where, Severity::Error,
                     picture.Name + " is listed twice (first on line " +
                         std::to_string(first->second) + ")");
            continue;
        }
        if (!fs::is_regular_file(fs::u8path(PackFile(folder, picture.Name)), error))
            pack.Add(where, Severity::Error, "no file \"" + picture.Name + "\" in " + folder);
        if (tab == std::string::npos || tab + 1 == line.size())
            pack.Add(where, Severity::Warning,
                     picture.Name + " has no caption (file name, tab, caption)");
        else
            ReadCaption(pack, where, line.substr(tab + 1), picture.Caption);
        names.push_back(picture.Name);
        pack.Pictures.push_back(picture);
    }
    for (const std::string& name : jpegFiles)
        if (listed.count(name) == 0)
            pack.Add(PackFile(folder, name), Severity::Error,
                     "not in captions.tsv: add a line (file name, tab, caption) where it belongs "
                     "in the show");
    if (pack.Pictures.empty()) pack.Add(pack.CaptionsFile, Severity::Error, "lists no pictures");

    const std::vector<int> ids = AssignIds(names, rules);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        pack.Pictures[i].Id = ids[i];
        if (ids[i] == 0 && (i == 0 || ids[i - 1] != 0))
            pack.Add(pack.LineOf(pack.Pictures[i]), Severity::Error,
                     "more pictures than resource ids: ids end at " +
                         std::to_string(kLastResourceId) + ", and " +
                         std::to_string(ids.size() - i) + " pictures from here on have none");
    }
    return pack;
}
