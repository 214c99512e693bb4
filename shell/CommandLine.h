// The screen saver's command line: normalisation of the argument string, the window handles it
// carries, and the choice of exactly one run mode. Portable: the platform's character rules and the
// run modes themselves are handed in, so the same rules run natively in the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A window handle as it travels on the command line: the low 32 bits of the number written there.
using WindowValue = std::uint32_t;

// How the platform classifies and converts the characters of the argument string.
class TextRules {
public:
    virtual ~TextRules() = default;
    // Number of bytes of the character that starts at `character` (a multibyte character counts
    // whole); at least 1 for any character other than the terminating zero.
    virtual std::size_t CharacterLength(const char* character) const = 0;
    // Whether the character of `length` bytes at `character` is white space.
    virtual bool IsSpace(const char* character, std::size_t length) const = 0;
    // Lower-cases the whole string in place.
    virtual void Lower(std::string& text) const = 0;
};

// The run modes the command line chooses from, and the window queries the choice needs.
class RunModes {
public:
    virtual ~RunModes() = default;
    virtual bool IsWindow(WindowValue window) = 0;
    virtual WindowValue ForegroundWindow() = 0;
    virtual int RunFullScreen() = 0;
    virtual int RunPreview(WindowValue parent) = 0;
    // `owner` 0 means no owner window.
    virtual int RunConfiguration(WindowValue owner) = 0;
    virtual int ChangePassword(WindowValue parent) = 0;
};

// Plain 7-bit rules: one byte per character, the C white-space characters, A-Z lowered. Used where
// no locale is at hand (the native tests, tools).
class AsciiTextRules : public TextRules {
public:
    std::size_t CharacterLength(const char* character) const override;
    bool IsSpace(const char* character, std::size_t length) const override;
    void Lower(std::string& text) const override;
};

// Exit code of a start that ran nothing.
constexpr int kNothingRun = 1;

// Removes leading white space from `text`, whole characters at a time.
void TrimLeadingSpace(std::string& text, const TextRules& rules);

// Trims white space at both ends, then lower-cases: the argument string as the mode choice sees it.
std::string NormaliseArguments(const char* arguments, const TextRules& rules);

// Reads a decimal number the way the handle argument is read: leading white space skipped, an
// optional sign, digits up to the first non-digit (none gives 0). The value is taken modulo 2^32,
// so handles written unsigned or sign-extended to 64 bits by a 64-bit caller arrive intact and no
// length of digits can overflow.
WindowValue ReadWindowValue(const std::string& text, const TextRules& rules);

// Normalises `arguments` (the command line without the program's name), runs the mode it selects
// and returns the process exit code: the mode's result, or kNothingRun.
int ParseCommandLine(const char* arguments, const TextRules& rules, RunModes& modes);
