// The command line's rules: normalisation, the mode table with window validity injected, handles
// read modulo 2^32. Natively with plain rules, under Wine with the locale's too.
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include "shell/RunModes_win32.h"
#endif

namespace {

// Records which mode ran with what; answers window queries from a fixed set of windows.
struct RecordingModes : RunModes {
    const std::set<WindowValue> Windows{1,        1234,       1u << 30,   0x7FFFFFFF,
                                        1u << 31, 0x80000068, 0x80020068, 0xFFFFFFFF};
    int Result = 0;
    std::vector<std::string> Runs;

    bool IsWindow(WindowValue window) override { return Windows.count(window) != 0; }
    WindowValue ForegroundWindow() override { return 777; }
    int RunFullScreen() override { return Record("full screen"); }
    int RunPreview(WindowValue parent) override { return Record("preview", parent); }
    int RunConfiguration(WindowValue owner) override { return Record("configuration", owner); }
    int ChangePassword(WindowValue parent) override { return Record("password", parent); }
    int Record(const std::string& run, WindowValue window = 0) {
        Runs.push_back(run == "full screen" ? run : run + " " + std::to_string(window));
        return Result;
    }
};

const AsciiTextRules kAscii;
#ifdef _WIN32
// The real locale rules of the thread: CharNextA, GetStringTypeExA and CharLowerA.
const Win32TextRules kLocale;
const TextRules* const kRules[] = {&kAscii, &kLocale};
#else
const TextRules* const kRules[] = {&kAscii};
#endif

// The arguments run `run` ("" for nothing) with the mode's result as exit code, or exit with 1.
void Check(const TextRules& rules, const char* run, const char* arguments) {
    for (const int result : {0, 1, 42}) {
        SCOPED_TRACE(std::string("arguments \"") +
                     std::string(arguments ? arguments : "").substr(0, 40) + "\"");
        RecordingModes modes;
        modes.Result = result;
        EXPECT_EQ(ParseCommandLine(arguments, rules, modes), *run ? result : 1);
        EXPECT_EQ(modes.Runs, *run ? std::vector<std::string>{run} : std::vector<std::string>{});
    }
}

// Nothing at all: the configuration without owner. Full screen in any case and padding. The
// preview's parent in every written form, the digits ending at the first non-digit, read modulo
// 2^32 with an optional sign: 0x80000068 written unsigned, signed and sign-extended to 64 bits,
// 0x80020068 as a 64-bit caller writes it, 1234 plus multiples of 2^32 and 2^128, 10^30 (2^30 x
// 5^30, and 5^30 mod 4 = 1), nines (2^32 divides 10^n). The configuration owned by the foreground
// or the given window, and the password change with its parent: each mode's result is the exit
// code. Nothing runs for the rows of "" (12 and 99 are no windows; 0 is none, however written),
// and the exit code is 1. Hostile arguments among them: strings of 10000 characters, separators
// only, embedded tabs, bytes above 127.
TEST(CommandLine, EachSwitchRunsItsModeWithItsWindowAndExitsWithTheModesResultOrWithOne) {
    const std::string x(10000, 'x'), spaces(10000, ' '), tabs(10000, '\t'), zeros(9996, '0');
    std::string separators;
    for (int i = 0; i < 2000; ++i)
        separators += " \t\r\n\v\f";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"configuration 0", {"", "   ", " \t\r\n ", "\v\f", spaces, tabs, separators}},
        {"full screen",
         {"/s", "-S", " /s ", "\t-s\t", "\r\n-S\v\f", spaces + "/s", "/s" + spaces, "-S" + tabs}},
        {"preview 1234",
         {"/p 1234", "/p:1234", "/P : 1234", "/l1234", "-L   1234  ", "/p +1234", "/p 1234xyz",
          "/p 4294968530", "/l 79228162514264337593543951570", "/p " + zeros + "1234",
          "/p 1234" + x, "/p\t1234", "/p\t:\t1234", "/p 1234\xE9", "/p 18446744073709552850",
          "/p 340282366920938463463374607431768212690", "/p -18446744073709550382"}},
        {"preview 2147483752", {"/p 2147483752", "/p -2147483544", "/p 18446744071562068072"}},
        {"preview 2147614824", {"/p 18446744071562199144"}},
        {"preview 4294967295",
         {"/p:4294967295", "/p -1", "/p 18446744073709551615", "/p " + std::string(10000, '9')}},
        {"preview 1", {"/p -4294967295", "/l\t\t\t1", "/p 00000000000000000001"}},
        {"preview 2147483647", {"/p 2147483647", "/p -2147483649"}},
        {"preview 2147483648", {"/p -2147483648", "/p 2147483648"}},
        {"preview 1073741824", {"/p 1" + std::string(30, '0'), "/p 1073741824"}},
        {"configuration 777", {"/c", "-C"}},
        {"configuration 1234", {"/c:1234", "/c 1234", "/c:" + zeros + "1234", "/c\t:1234"}},
        {"configuration 4294967295", {"/c:-1"}},
        {"password 1234", {"/a 1234", "/A:1234", "/a\t1234"}},
        {"password 1", {"/a -4294967295"}},
        {"password 4294967295", {"/a -" + zeros + "1"}},
        {"",
         {"/s 5", "/save", "/sx", "s", "x/s", "/p 12 34", "/p", "/p:", "/p 99", "/p : : 1234",
          "/p x1234", "/c:99", "/config", "/c:", "/a", "/a 99", "/a 0", "/x", "/", "-", " / ",
          "/ s", "//s", "/?", "1234", "/p 0", "/p -", "/p +-5", "/p -0", "/p 4294967296",
          "/p 18446744073709551616", "/p 5", "/p -1234", "/p --1234", "/p - 1234", "/c:-2",
          // overlong
          "/s" + x, "/s " + x, "/" + std::string(10000, 'c'), "/p 1" + std::string(9999, '0'),
          "/p " + std::string(10000, '-'), "/p" + std::string(10000, ':'), x, "/c " + x,
          // separators around nothing, tabs inside
          "/\t\t", "\t/\t", "-\t-", "/" + spaces + "s", "/s\tx", "/p 12\t34", "/\ts",
          // bytes above 127
          "/\xE9", "/s\xFF", "\xEF\xBB\xBF/s", "/p \xD9\xA1\xD9\xA2", "/c:\xB9", "/\x80", "\xE9/s",
          "/S\xC3\x89", "/\xD3"}}};
    for (const TextRules* rules : kRules) {
        Check(*rules, "configuration 0", nullptr);
        for (const auto& [run, all] : cases)
            for (const std::string& arguments : all)
                Check(*rules, run.c_str(), arguments.c_str());
    }
}

} // namespace
