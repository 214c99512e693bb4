#include "tools/check-pack/PackTool.h"

#include "base/ProcessorInfo.h"
#include "tools/check-pack/NewCaptions.h"
#include "tools/check-pack/PackCheck.h"
#include "tools/check-pack/PackOutput.h"

#include <cstdlib>
#include <filesystem>

namespace {

const char kOptions[] =
    "  --new-captions          write FOLDER's captions.tsv to start from: every JPEG file in name\n"
    "                          order, its caption its EXIF description, else the date it was\n"
    "                          taken, else its file name (an existing file is never replaced)\n"
    "  --proof FILE            write a proof sheet, every picture as the show prepares it:\n"
    "                          FILE.bmp a BMP picture, any other name a binary PPM\n"
    "  --screen WxH            the proof sheet's screen (default 1024x768)\n"
    "  --depth N               its bits per pixel: 8 (palette), 16 or 32 (default)\n"
    "  --enlarge               enlarge small pictures to fit (the EnlargeToFit option)\n"
    "  --columns N             screens in a row of the sheet (default 4)\n"
    "  --scale N               each screen reduced N times on the sheet (default 1)\n"
    "  --quiet                 only the problems: no line for every picture, no notes\n";

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

std::string Line(const PackMessage& m) {
    return m.Where + ": " + LevelName(m.Level) + ": " + m.Text + "\n";
}

int NewCaptions(const PackTool& tool, const std::string& folder) {
    PackMessage problem;
    const auto told = [&](const std::string& name, const NewCaption& caption) {
        tool.Print(name + ": \"" + caption.Caption + "\" (" + caption.Source + ")\n");
    };
    if (!WriteNewCaptions(folder, problem, told)) {
        tool.Print(Line(problem));
        return 1;
    }
    tool.Print(PackFile(folder, "captions.tsv") +
               " written: edit the captions (the file is UTF-8), then " + tool.NextStep(folder) +
               "\n");
    return 0;
}

} // namespace

int RunPackTool(const PackTool& tool, const std::vector<std::string>& arguments) {
    const std::string usage = std::string(tool.Synopsis) + tool.MadeLines + kOptions +
                              "Exit status: 0 no errors (warnings allowed), 1 errors, 2 bad "
                              "command line.\n";
    const auto usageError = [&](const std::string& message) {
        tool.PrintError(std::string(tool.Name) + ": " + message + "\n" + usage);
        return 2;
    };
    std::string folder, made, proof;
    ProofOptions options;
    options.UseSimd = processorInfo().HasMmx;
    bool quiet = false, newCaptions = false, checking = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const bool madeOption = tool.MadeOption != nullptr && arg == tool.MadeOption;
        const bool valued = madeOption || arg == "--proof" || arg == "--screen" ||
                            arg == "--depth" || arg == "--columns" || arg == "--scale";
        if (valued && i + 1 >= arguments.size()) return usageError(arg + " needs a value");
        const std::string value = valued ? arguments[++i] : "";
        const std::size_t x = value.find_first_of("xX");
        checking = checking || (arg.size() > 2 && arg[0] == '-' && arg != "--new-captions");
        if (arg == "--new-captions") {
            newCaptions = true;
        } else if (madeOption) {
            made = value;
        } else if (arg == "--proof") {
            proof = value;
        } else if (arg == "--screen") {
            if (x == std::string::npos ||
                !ParseNumber(value.substr(0, x), 1, 1 << 14, options.ScreenWidth) ||
                !ParseNumber(value.substr(x + 1), 1, 1 << 14, options.ScreenHeight))
                return usageError("screen size must be WxH, not " + value);
        } else if (arg == "--depth") {
            if (!ParseNumber(value, 1, 32, options.Depth))
                return usageError("unsupported depth " + value);
        } else if (arg == "--columns" || arg == "--scale") {
            if (!ParseNumber(value, 1, 64, arg == "--scale" ? options.Scale : options.Columns))
                return usageError(arg + " must be 1 to 64, not " + value);
        } else if (arg == "--enlarge") {
            options.Enlarge = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            tool.Print(usage);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (folder.empty()) {
            folder = arg;
        } else if (tool.MadeOption == nullptr && made.empty()) {
            made = arg;
            checking = true;
        } else {
            return usageError(tool.MadeOption != nullptr ? "one FOLDER only"
                                                         : "one FOLDER and one OUT only");
        }
    }
    if (folder.empty()) return usageError("FOLDER is required");
    if (newCaptions && checking) return usageError("--new-captions takes no other option");
    if (newCaptions) return NewCaptions(tool, folder);
    if (made.empty() && proof.empty()) made = tool.DefaultPath(folder);
    PackMessage problem;
    if (!made.empty() && !tool.Ready(problem)) {
        tool.Print(Line(problem));
        return 1;
    }

    Pack pack = ReadPack(folder);
    const auto report = [&](const PackMessage& m) {
        if (!quiet || m.Level != Severity::Note) tool.Print(Line(m));
    };
    for (const PackMessage& m : pack.Messages)
        report(m);
    std::error_code missing;
    for (const PackPicture& picture : pack.Pictures) {
        if (!std::filesystem::is_regular_file(
                std::filesystem::u8path(PackFile(folder, picture.Name)), missing))
            continue;
        const std::size_t before = pack.Messages.size();
        const std::string outcome = CheckPicture(pack, picture);
        // A line a picture as it goes: hundreds of photographs take minutes.
        if (!quiet)
            tool.Print(picture.Name + " (id " + std::to_string(picture.Id) + "): " + outcome +
                       "\n");
        for (std::size_t m = before; m < pack.Messages.size(); ++m)
            report(pack.Messages[m]);
    }
    const int errors = pack.Count(Severity::Error);
    std::string failure;
    if (!proof.empty() && !WriteProofSheet(pack, options, proof, failure))
        tool.Print(proof + ": error: " + failure + "\n");
    const bool making = !made.empty() && errors == 0;
    if (making && !tool.Make(pack, made, failure)) tool.Print(made + ": error: " + failure + "\n");
    if (!made.empty() && errors > 0 && tool.RemoveStale)
        std::filesystem::remove(std::filesystem::u8path(made), missing);
    tool.Print(folder + ": " + std::to_string(pack.Pictures.size()) + " pictures, " +
               std::to_string(errors) + " errors, " +
               std::to_string(pack.Count(Severity::Warning)) + " warnings" +
               (!made.empty() && errors > 0 ? std::string("; no ") + tool.Made + " written" : "") +
               "\n");
    if (making && failure.empty() && !tool.Done(made).empty()) tool.Print(tool.Done(made) + "\n");
    return errors > 0 || !failure.empty() ? 1 : 0;
}
