#include "tools/check-pack/NewCaptions.h"

#include "jpeg/Exif.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The EXIF segment comes before the picture's data, near the start of the file (within the
// first segments of at most 64 KB each): reading this much finds it without reading whole
// photographs.
constexpr std::size_t kHeadBytes = 256 * 1024;

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "YYYY-MM-DD" of a "YYYY:MM:DD HH:MM:SS" date, or empty when it is no date (cameras without a
// clock write zeros or blanks).
std::string Day(const std::string& date) {
    const auto digits = [&](std::size_t at, std::size_t count) {
        for (std::size_t i = at; i < at + count; ++i)
            if (i >= date.size() || date[i] < '0' || date[i] > '9') return -1;
        return std::stoi(date.substr(at, count));
    };
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || date[4] != ':' ||
        date[7] != ':')
        return "";
    return date.substr(0, 4) + "-" + date.substr(5, 2) + "-" + date.substr(8, 2);
}

// A single '&' would underline the next character instead of showing.
std::string Ampersands(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += c == '&' ? std::string("&&") : std::string(1, c);
    return out;
}

} // namespace

NewCaption StartCaption(const std::string& folder, const std::string& name) {
    std::vector<uint8_t> head(kHeadBytes);
    std::ifstream file(fs::u8path(PackFile(folder, name)), std::ios::binary);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    const ExifData exif = readExif(head.data(), static_cast<std::size_t>(file.gcount()));
    const auto text = [](const ExifText& t) { return std::string(t.text, t.length); };
    const std::string description = Trimmed(ToWindows1252Characters(text(exif.description)));
    if (!description.empty()) return {Ampersands(description), "EXIF description"};
    const std::string day = Day(text(exif.dateTaken));
    if (!day.empty()) return {day, "date taken"};
    const std::string stem = Trimmed(ToWindows1252Characters(name.substr(0, name.rfind('.'))));
    return {Ampersands(stem), "file name"};
}

bool WriteNewCaptions(
    const std::string& folder, PackMessage& problem,
    const std::function<void(const std::string& name, const NewCaption&)>& progress) {
    const std::string path = PackFile(folder, "captions.tsv");
    const auto fail = [&](const std::string& where, const std::string& text) {
        problem = {where, Severity::Error, text};
        return false;
    };
    std::error_code failure;
    if (!fs::is_directory(fs::u8path(folder), failure)) return fail(folder, "no such folder");
    if (fs::exists(fs::symlink_status(fs::u8path(path), failure)))
        return fail(path, "already exists, and is never replaced (move it away to start again)");
    const std::vector<std::string> names = JpegFilesOf(folder);
    if (names.empty()) return fail(folder, "no JPEG files (*.jpg, *.jpeg) to list");
    for (const std::string& name : names)
        if (name.find_first_of("\t\r\n") != std::string::npos)
            return fail(PackFile(folder, name),
                        "a tab or line break in the name cannot be listed: rename the file");
    std::string text;
    for (const std::string& name : names) {
        const NewCaption caption = StartCaption(folder, name);
        if (progress) progress(name, caption);
        text += name + "\t" + caption.Caption + "\n";
    }
    // Written apart and renamed, so that an interrupted run leaves no half file; and not over a
    // captions file that appeared meanwhile.
    const fs::path temporary = fs::u8path(path + ".part");
    std::string error;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) error = "cannot be written";
    }
    if (error.empty() && fs::exists(fs::symlink_status(fs::u8path(path), failure)))
        error = "appeared while the pictures were read: not replaced";
    if (error.empty()) fs::rename(temporary, fs::u8path(path), failure);
    if (error.empty() && failure) error = "cannot be written: " + failure.message();
    fs::remove(temporary, failure);
    return error.empty() || fail(path, error);
}
