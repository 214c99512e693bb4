// What the two pack tools share: check-pack on Linux and LanternmoorPack.exe on Windows take the
// same options, check a pack with the same code, print the same lines and end with the same exit
// status. They differ in what they make of a pack without errors: a resource script for the build,
// or the screen saver itself.
#pragma once

#include "tools/check-pack/Pack.h"

#include <string>
#include <vector>

class PackTool {
public:
    virtual ~PackTool() = default;

    // Makes the tool's file of a pack without errors; false with the reason in `error`.
    virtual bool Make(const Pack& pack, const std::string& path, std::string& error) const = 0;
    // Where that file goes when the command line names none (and draws no proof sheet); empty
    // for nowhere.
    virtual std::string DefaultPath(const std::string& folder) const = 0;
    // Whether the file can be made at all, asked before the pack is checked, so that a missing
    // part is told before a long check. False with the problem.
    virtual bool Ready(PackMessage& problem) const = 0;
    // The line after the file is made (empty: none), and what to do after --new-captions.
    virtual std::string Done(const std::string& path) const = 0;
    virtual std::string NextStep(const std::string& folder) const = 0;
    // Standard output, each piece shown at once; standard error.
    virtual void Print(const std::string& text) const = 0;
    virtual void PrintError(const std::string& text) const = 0;

    const char* Name;      // as its usage errors name it
    const char* Synopsis;  // the usage lines and what it does
    const char* MadeLines; // its help lines for the file it makes
    const char* Made;      // what that file is: "resource script", "screen saver"
    // The option that names the file ("--resource-script"), or null when it is the operand after
    // FOLDER.
    const char* MadeOption;
    // Whether a file of an earlier run is removed when the pack has errors: a build must not go
    // on with a stale resource script, while a screen saver made before is the user's to keep.
    bool RemoveStale;

protected:
    PackTool(const char* name, const char* synopsis, const char* madeLines, const char* made,
             const char* madeOption, bool removeStale)
        : Name(name), Synopsis(synopsis), MadeLines(madeLines), Made(made), MadeOption(madeOption),
          RemoveStale(removeStale) {}
};

// Runs the tool on its arguments (the program's name left out). Exit status: 0 no errors
// (warnings allowed), 1 errors or the file not made, 2 a bad command line.
int RunPackTool(const PackTool& tool, const std::vector<std::string>& arguments);
