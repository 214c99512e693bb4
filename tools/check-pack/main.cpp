// check-pack: checks a picture pack (a folder of JPEG files and captions.tsv) before it becomes a
// screen saver, writes the resource script that embeds it, and draws its proof sheet; or starts
// the captions file of a folder of photographs.
#include "tools/check-pack/PackOutput.h"
#include "tools/check-pack/PackTool.h"

#include <cstdio>

namespace {

class CheckPack : public PackTool {
public:
    CheckPack()
        : PackTool("check-pack",
                   "usage: check-pack [options] FOLDER\n"
                   "       check-pack --new-captions FOLDER\n"
                   "Checks the pictures of FOLDER and the captions of FOLDER/captions.tsv (one "
                   "line per picture\nin show order: file name, tab, caption, \\n for a line "
                   "break), and FOLDER/credits.txt, the\nlines the About box shows, when there is "
                   "one.\n",
                   "  --resource-script FILE  write the resource script that embeds the pack (not "
                   "when it has\n                          errors: FILE is then removed)\n",
                   "resource script", "--resource-script", true) {}

    bool Make(const Pack& pack, const std::string& path, std::string& error) const override {
        return WriteResourceScript(pack, path, error);
    }
    std::string DefaultPath(const std::string&) const override { return ""; }
    bool Ready(PackMessage&) const override { return true; }
    std::string Done(const std::string&) const override { return ""; }
    std::string NextStep(const std::string& folder) const override {
        return "check the pack with check-pack " + folder + " or build it with tools/build-pack " +
               folder;
    }
    void Print(const std::string& text) const override {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout); // also into a pipe, a line at a time
    }
    void PrintError(const std::string& text) const override { std::fputs(text.c_str(), stderr); }
};

} // namespace

int main(int argc, char** argv) {
    return RunPackTool(CheckPack(), {argv + 1, argv + argc});
}
