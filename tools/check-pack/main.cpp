// check-pack: checks a picture pack (a folder of JPEG files and captions.tsv) before it becomes a
// screen saver, writes the resource script that embeds it, and draws its proof sheet; or starts
// the captions file of a folder of photographs.
#include "imaging/ProcessorInfo.h"
#include "tools/check-pack/NewCaptions.h"
#include "tools/check-pack/Pack.h"
#include "tools/check-pack/PackCheck.h"
#include "tools/check-pack/PackOutput.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char Usage[] =
    "usage: check-pack [options] FOLDER\n"
    "       check-pack --new-captions FOLDER\n"
    "Checks the pictures of FOLDER and the captions of FOLDER/captions.tsv (one line per picture\n"
    "in show order: file name, tab, caption, \\n for a line break), and FOLDER/credits.txt, the\n"
    "lines the About box shows, when there is one.\n"
    "  --new-captions          write FOLDER/captions.tsv to start from: every JPEG file in name\n"
    "                          order, its caption its EXIF description, else the date it was\n"
    "                          taken, else its file name (an existing file is never replaced)\n"
    "  --resource-script FILE  write the resource script that embeds the pack (not when it has\n"
    "                          errors: FILE is then removed)\n"
    "  --proof FILE.ppm        write a proof sheet: every picture as the show prepares it\n"
    "  --screen WxH            the proof sheet's screen (default 1024x768)\n"
    "  --depth N               its bits per pixel: 8 (palette), 16 or 32 (default)\n"
    "  --enlarge               enlarge small pictures to fit (the EnlargeToFit option)\n"
    "  --columns N             screens in a row of the sheet (default 4)\n"
    "  --scale N               each screen reduced N times on the sheet (default 1)\n"
    "  --quiet                 only the problems: no line for every picture, no notes\n"
    "Exit status: 0 no errors (warnings allowed), 1 errors, 2 bad command line.\n";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "check-pack: %s\n%s", message.c_str(), Usage);
    return 2;
}

bool ParseNumber(const std::string& text, int low, int high, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

const char* LevelName(Severity level) {
    return level == Severity::Error ? "error" : level == Severity::Warning ? "warning" : "note";
}

void Print(const PackMessage& m) {
    std::printf("%s: %s: %s\n", m.Where.c_str(), LevelName(m.Level), m.Text.c_str());
}

void PrintStarted(const std::string& name, const NewCaption& caption) {
    std::printf("%s: \"%s\" (%s)\n", name.c_str(), caption.Caption.c_str(), caption.Source);
    std::fflush(stdout);
}

int NewCaptions(const std::string& folder) {
    PackMessage problem;
    if (!WriteNewCaptions(folder, problem, &PrintStarted)) {
        Print(problem);
        return 1;
    }
    std::printf("%s/captions.tsv written: edit the captions (the file is UTF-8), then check the "
                "pack with check-pack %s or build it with tools/build-pack %s\n",
                folder.c_str(), folder.c_str(), folder.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string folder, script, proof;
    ProofOptions options;
    options.UseSimd = processorInfo().hasMmx;
    bool quiet = false, newCaptions = false, checking = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool valued = arg == "--resource-script" || arg == "--proof" || arg == "--screen" ||
                            arg == "--depth" || arg == "--columns" || arg == "--scale";
        if (valued && i + 1 >= argc) return UsageError(arg + " needs a value");
        const std::string value = valued ? argv[++i] : "";
        const std::size_t x = value.find_first_of("xX");
        checking = checking || (arg.size() > 2 && arg[0] == '-' && arg != "--new-captions");
        if (arg == "--new-captions") {
            newCaptions = true;
        } else if (arg == "--resource-script") {
            script = value;
        } else if (arg == "--proof") {
            proof = value;
        } else if (arg == "--screen") {
            if (x == std::string::npos ||
                !ParseNumber(value.substr(0, x), 1, 1 << 14, options.ScreenWidth) ||
                !ParseNumber(value.substr(x + 1), 1, 1 << 14, options.ScreenHeight))
                return UsageError("screen size must be WxH, not " + value);
        } else if (arg == "--depth") {
            if (!ParseNumber(value, 1, 32, options.Depth))
                return UsageError("unsupported depth " + value);
        } else if (arg == "--columns" || arg == "--scale") {
            if (!ParseNumber(value, 1, 64, arg == "--scale" ? options.Scale : options.Columns))
                return UsageError(arg + " must be 1 to 64, not " + value);
        } else if (arg == "--enlarge") {
            options.Enlarge = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else if (folder.empty()) {
            folder = arg;
        } else {
            return UsageError("one FOLDER only");
        }
    }
    if (folder.empty()) return UsageError("FOLDER is required");
    if (newCaptions && checking) return UsageError("--new-captions takes no other option");
    if (newCaptions) return NewCaptions(folder);

    Pack pack = ReadPack(folder);
    const auto report = [&](const PackMessage& m) {
        if (!quiet || m.Level != Severity::Note) Print(m);
    };
    for (const PackMessage& m : pack.Messages)
        report(m);
    std::error_code missing;
    for (const PackPicture& picture : pack.Pictures) {
        if (!std::filesystem::is_regular_file(std::filesystem::path(folder) / picture.Name,
                                              missing))
            continue;
        const std::size_t before = pack.Messages.size();
        const std::string outcome = CheckPicture(pack, picture);
        if (!quiet)
            std::printf("%s (id %d): %s\n", picture.Name.c_str(), picture.Id, outcome.c_str());
        for (std::size_t m = before; m < pack.Messages.size(); ++m)
            report(pack.Messages[m]);
        // A line a picture as it goes, also into a pipe: hundreds of photographs take minutes.
        std::fflush(stdout);
    }
    const int errors = pack.Count(Severity::Error);
    std::string failure;
    if (!proof.empty() && !WriteProofSheet(pack, options, proof, failure))
        std::printf("%s: error: %s\n", proof.c_str(), failure.c_str());
    if (!script.empty() && errors == 0 && !WriteResourceScript(pack, script, failure))
        std::printf("%s: error: %s\n", script.c_str(), failure.c_str());
    if (!script.empty() && errors > 0) std::filesystem::remove(script, missing);
    std::printf("%s: %zu pictures, %d errors, %d warnings%s\n", folder.c_str(),
                pack.Pictures.size(), errors, pack.Count(Severity::Warning),
                !script.empty() && errors > 0 ? "; no resource script written" : "");
    return errors > 0 || !failure.empty() ? 1 : 0;
}
