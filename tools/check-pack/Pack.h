// A picture pack: a folder of JPEG files and `captions.tsv`, one line per picture in show order,
// file name, tab, caption (`\n` for a line break), and optionally `credits.txt`, the lines the
// About box shows after the program's own. Reading it gives each picture its resource id and
// turns its caption and the credits into the Windows-1252 text the screen saver holds.
#pragma once

#include <string>
#include <vector>

enum class Severity { Note, Warning, Error };

struct PackMessage {
    std::string Where; // "DIR/captions.tsv:3" or "DIR/name.jpg"
    Severity Level;
    std::string Text;
};

struct PackPicture {
    std::string Name;    // file name in the pack's folder
    int Line = 0;        // its line in captions.tsv
    int Id = 0;          // resource id; 0 when the ids ran out
    std::string Caption; // Windows-1252, '\n' between lines; empty: none
};

struct Pack {
    std::string Folder;
    std::string CaptionsFile; // Folder/captions.tsv
    std::vector<PackPicture> Pictures;
    // The credits resource: credits.txt in Windows-1252, its lines joined by CR LF; empty when
    // the pack has none (or they have errors).
    std::string Credits;
    std::vector<PackMessage> Messages;

    void Add(const std::string& where, Severity level, const std::string& text) {
        Messages.push_back({where, level, text});
    }
    std::string LineOf(const PackPicture& picture) const {
        return CaptionsFile + ":" + std::to_string(picture.Line);
    }
    int Count(Severity level) const;
};

// The resource ids of a build: pictures from First upwards, Reserved for the rest of the file.
struct IdRules {
    int First = 0;
    std::vector<int> Reserved; // ascending
};
// From the text of the resource id header: First is IDR_FIRST_PICTURE, and every string, icon,
// bitmap and dialog id (IDS_, IDI_, IDB_, IDD_) is reserved, as is 1 (manifest, version
// information). Control ids (IDC_) name no resource.
IdRules ReadIdRules(const std::string& headerText);
// The rules of this build's resources/ResourceIds.h.
const IdRules& BuiltInIdRules();

constexpr int kLastResourceId = 65535;
// Ids for the pictures named, in line order: each the next id after the previous one (starting
// at rules.First) that no other resource uses; a name that is a decimal number above the previous
// id and free takes that number instead (the shipped 134.jpg keeps 134). Ids thus always ascend
// in line order, and the show order is the line order. 0 for every picture past the last id.
std::vector<int> AssignIds(const std::vector<std::string>& names, const IdRules& rules);

// The character (its Unicode number) of a Windows-1252 byte; 0 for the five bytes that have none.
unsigned Windows1252Character(unsigned char byte);
// UTF-8 text in Windows-1252. False when it is no UTF-8 or holds a character Windows-1252 lacks;
// `problem` then says which.
bool ToWindows1252(const std::string& utf8, std::string& text, std::string& problem);
// Text of unknown encoding (an EXIF field, a file name) as UTF-8 that Windows-1252 can hold:
// UTF-8 characters Windows-1252 has stay, bytes that are no UTF-8 are read as Windows-1252, and
// anything else becomes '?'; control characters become spaces.
std::string ToWindows1252Characters(const std::string& text);

// Paths are UTF-8 text everywhere (the Windows tool reads its command line into UTF-8 too), so
// that a name in captions.tsv is the file's name however the system spells it: the path of the
// file `name` of `folder`.
std::string PackFile(const std::string& folder, const std::string& name);

// The names of the folder's *.jpg and *.jpeg files (in any case), in byte order.
std::vector<std::string> JpegFilesOf(const std::string& folder);

// Reads the folder and its captions.tsv. Messages name the file and line of every problem.
Pack ReadPack(const std::string& folder, const IdRules& rules = BuiltInIdRules());
