// LanternmoorPack.exe: makes a screen saver of a folder of photographs on Windows, with nothing
// but itself and the Lanternmoor.scr beside it. It checks the pack exactly as check-pack does (the
// same code, messages and exit status) and writes a copy of that Lanternmoor.scr with the pack's
// pictures, captions and credits in place of its own; or starts the captions file, or draws the
// proof sheet as a BMP picture.
#include "tools/check-pack/PackTool.h"
#include "tools/lanternmoor-pack/PackResources.h"
#include "tools/lanternmoor-pack/ScreenSaverFile_win32.h"
#include "tools/lanternmoor-pack/SystemText_win32.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <new>

namespace fs = std::filesystem;

namespace {

// Text to the console in its own characters; into a file or a pipe as UTF-8, like check-pack's.
void Write(DWORD stream, std::FILE* file, const std::string& text) {
    const HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = WideFrom(text, CP_UTF8);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fflush(file);
    }
}

std::string Quoted(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

class LanternmoorPack : public PackTool {
public:
    explicit LanternmoorPack(std::string shipped)
        : PackTool(
              "LanternmoorPack",
              "usage: LanternmoorPack [options] FOLDER [OUT.scr]\n"
              "       LanternmoorPack --new-captions FOLDER\n"
              "Makes a screen saver of the photographs in FOLDER: checks its pictures, the "
              "captions of\nFOLDER\\captions.tsv (one line per picture in show order: file "
              "name, tab, caption, \\n for a\nline break) and FOLDER\\credits.txt, the lines "
              "the About box shows, when there is one; then\nwrites OUT, a copy of the "
              "Lanternmoor.scr beside this program with the pictures, captions and\ncredits "
              "of FOLDER instead of its own.\n",
              "  OUT.scr                 the screen saver to write (default Lanternmoor.scr "
              "in FOLDER's\n                          parent folder; none with --proof, unless "
              "named); nothing is written\n                          when the pack has "
              "errors\n",
              "screen saver", nullptr, false),
          shipped_(std::move(shipped)) {}

    bool Make(const Pack& pack, const std::string& path, std::string& error) const override {
        try {
            std::vector<Resource> shipped, made;
            if (!ReadResources(shipped_, shipped, error)) return false;
            if (!MakePackResources(shipped, shipped_, pack, made, error)) return false;
            shipped.clear();
            return WriteScreenSaver(shipped_, made, path, error);
        } catch (const std::bad_alloc&) {
            DeleteFileA(AnsiFromUtf8(path + ".part").c_str());
            error = "out of memory: the pictures are too many or too large for one screen saver";
            return false;
        }
    }
    std::string DefaultPath(const std::string& folder) const override {
        fs::path absolute = fs::absolute(fs::u8path(folder)).lexically_normal();
        if (!absolute.has_filename()) absolute = absolute.parent_path();
        return (absolute.parent_path() / "Lanternmoor.scr").u8string();
    }
    bool Ready(PackMessage& problem) const override {
        if (GetFileAttributesA(AnsiFromUtf8(shipped_).c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        problem = {shipped_, Severity::Error,
                   "not found: LanternmoorPack.exe makes its screen savers of the Lanternmoor.scr "
                   "beside it"};
        return false;
    }
    std::string Done(const std::string& path) const override {
        return path + " written: right-click it and choose Install (or Test to try it)";
    }
    std::string NextStep(const std::string& folder) const override {
        return "make the screen saver with LanternmoorPack " + Quoted(folder);
    }
    void Print(const std::string& text) const override { Write(STD_OUTPUT_HANDLE, stdout, text); }
    void PrintError(const std::string& text) const override {
        Write(STD_ERROR_HANDLE, stderr, text);
    }

private:
    std::string shipped_; // the Lanternmoor.scr beside the program
};

// Started by Explorer (a double click, or a folder dropped on it), the program has a console
// window of its own, which would close with it before anyone could read it.
void KeepExplorersConsoleOpen(const PackTool& tool) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    std::map<DWORD, std::string> names;
    DWORD parent = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        names[entry.th32ProcessID] = entry.szExeFile;
        if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    }
    CloseHandle(snapshot);
    if (lstrcmpiA(names[parent].c_str(), "explorer.exe") != 0) return;
    tool.Print("Press Enter to close this window.");
    char line[16];
    DWORD read = 0;
    ReadConsoleA(GetStdHandle(STD_INPUT_HANDLE), line, sizeof line, &read, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(Utf8FromAnsi(argv[i]));
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    const LanternmoorPack tool(
        (fs::u8path(Utf8FromAnsi(program)).parent_path() / "Lanternmoor.scr").u8string());
    const int status = RunPackTool(tool, arguments);
    KeepExplorersConsoleOpen(tool);
    return status;
}
