// The command line's rules: normalisation, the mode table with window validity injected, handles
// read modulo 2^32, multibyte characters. Natively with plain rules, under Wine with the locale's
// too.
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
class RecordingModes : public RunModes {
public:
    std::set<WindowValue> Windows{1234, 0x80000068u, 0x80020068u, 0xFFFFFFFFu};
    WindowValue Foreground = 777;
    int Result = 0;
    std::vector<std::string> Runs;

    bool IsWindow(WindowValue window) override { return Windows.count(window) != 0; }
    WindowValue ForegroundWindow() override { return Foreground; }
    int RunFullScreen() override { return Record("full screen"); }
    int RunPreview(WindowValue parent) override {
        return Record("preview " + std::to_string(parent));
    }
    int RunConfiguration(WindowValue owner) override {
        return Record("configuration " + std::to_string(owner));
    }
    int ChangePassword(WindowValue parent) override {
        return Record("password " + std::to_string(parent));
    }

private:
    int Record(const std::string& run) {
        Runs.push_back(run);
        return Result;
    }
};

// Stands in for a double-byte code page: 0x81 to 0xFE lead a two-byte character; the pair 0x81 0x40
// is the ideographic space.
class DoubleByteRules : public TextRules {
public:
    std::size_t CharacterLength(const char* character) const override {
        const auto lead = static_cast<unsigned char>(character[0]);
        if (lead == 0) return 0;
        return lead >= 0x81 && lead <= 0xFE && character[1] != '\0' ? 2 : 1;
    }
    bool IsSpace(const char* character, std::size_t length) const override {
        if (length == 2)
            return static_cast<unsigned char>(character[0]) == 0x81 && character[1] == 0x40;
        return character[0] == ' ';
    }
    void Lower(std::string& text) const override { AsciiTextRules().Lower(text); }
};

std::vector<const TextRules*> RulesUnderTest() {
    static const AsciiTextRules ascii;
#ifdef _WIN32
    // The real locale rules of the thread: CharNextA, GetStringTypeExA and CharLowerA.
    static const Win32TextRules win32;
    return {&ascii, &win32};
#else
    return {&ascii};
#endif
}

TEST(CommandLine, EachSwitchRunsItsModeWithItsWindowAndExitsWithTheModesResult) {
    const std::pair<const char*, const char*> cases[] = {
        // Nothing at all: the configuration without owner.
        {"", "configuration 0"},
        {"   ", "configuration 0"},
        {" \t\r\n ", "configuration 0"},
        // Full screen, in any case and padding.
        {"/s", "full screen"},
        {"-S", "full screen"},
        {" /s ", "full screen"},
        {"\t-s\t", "full screen"},
        // The preview's parent in every written form; the digits end at the first non-digit.
        {"/p 1234", "preview 1234"},
        {"/p:1234", "preview 1234"},
        {"/P : 1234", "preview 1234"},
        {"/l1234", "preview 1234"},
        {"-L   1234  ", "preview 1234"},
        {"/p +1234", "preview 1234"},
        {"/p 1234xyz", "preview 1234"},
        // Handles of 2^31 or more arrive modulo 2^32: 0x80000068 written unsigned, signed and
        // sign-extended to 64 bits, 0x80020068 as a 64-bit caller writes it, 1234 plus multiples
        // of 2^32.
        {"/p 2147483752", "preview 2147483752"},
        {"/p -2147483544", "preview 2147483752"},
        {"/p 18446744071562068072", "preview 2147483752"},
        {"/p 18446744071562199144", "preview 2147614824"},
        {"/p:4294967295", "preview 4294967295"},
        {"/p -1", "preview 4294967295"},
        {"/p 18446744073709551615", "preview 4294967295"},
        {"/p 4294968530", "preview 1234"},
        {"/l 79228162514264337593543951570", "preview 1234"},
        // The configuration, owned by the foreground or the given window; a sheet that ran
        // reports its result, also when it was given an owner.
        {"/c", "configuration 777"},
        {"-C", "configuration 777"},
        {"/c:1234", "configuration 1234"},
        {"/c 1234", "configuration 1234"},
        // The password change with its parent (without its library it reports 1).
        {"/a 1234", "password 1234"},
        {"/A:1234", "password 1234"}};
    for (const TextRules* rules : RulesUnderTest()) {
        for (const auto& [arguments, run] : cases) {
            for (const int result : {0, 1, 42}) {
                SCOPED_TRACE(std::string("arguments \"") + arguments + "\"");
                RecordingModes modes;
                modes.Result = result;
                EXPECT_EQ(ParseCommandLine(arguments, *rules, modes), result);
                EXPECT_EQ(modes.Runs, std::vector<std::string>{run});
            }
        }
    }
}

TEST(CommandLine, ArgumentsThatSelectNoModeOrNoWindowRunNothingAndExitWithOne) {
    // 12 and 99 are no windows; 4294967296 reads as 0.
    const char* const cases[] = {"/s 5",        "/save",    "/sx",           "s",     "x/s",
                                 "/p 12 34",    "/p",       "/p:",           "/p 0",  "/p 99",
                                 "/p : : 1234", "/p x1234", "/p 4294967296", "/c:99", "/config",
                                 "/c:",         "/a",       "/a 99",         "/a 0",  "/x",
                                 "/",           "-",        " / ",           "/ s",   "//s",
                                 "/?",          "1234"};
    for (const TextRules* rules : RulesUnderTest()) {
        for (const char* arguments : cases) {
            RecordingModes modes;
            EXPECT_EQ(ParseCommandLine(arguments, *rules, modes), 1) << arguments;
            EXPECT_EQ(modes.Runs, std::vector<std::string>{}) << arguments;
        }
    }
}

TEST(CommandLine, WindowValuesAreReadModulo2To32WithOptionalSign) {
    const std::pair<std::string, WindowValue> cases[] = {
        {"", 0u},
        {"-", 0u},
        {"+-5", 0u},
        {"-0", 0u},
        {"  \t42", 42u},
        {"2147483647", 0x7FFFFFFFu},
        {"-2147483648", 0x80000000u},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0u},
        {"-4294967295", 1u},
        {"18446744073709551616", 0u}, // 2^64
        // 10^30 = 2^30 * 5^30, and 5^30 mod 2^2 = 1, so 10^30 mod 2^32 = 2^30.
        {"1" + std::string(30, '0'), 0x40000000u},
        // A thousand nines: 10^1000 - 1 mod 2^32 = -1 mod 2^32, since 2^32 divides 10^1000.
        {std::string(1000, '9'), 0xFFFFFFFFu}};
    for (const TextRules* rules : RulesUnderTest()) {
        for (const auto& [text, value] : cases)
            EXPECT_EQ(ReadWindowValue(text, *rules), value) << "\"" << text << "\"";
    }
}

TEST(CommandLine, NormalisationTrimsBothEndsAndLowersWithoutTouchingTheInside) {
    for (const TextRules* rules : RulesUnderTest()) {
        EXPECT_EQ(NormaliseArguments("  /P : 1234 \t", *rules), "/p : 1234");
        EXPECT_EQ(NormaliseArguments("\r\n-S\v\f", *rules), "-s");
        EXPECT_EQ(NormaliseArguments(" \t ", *rules), "");
        EXPECT_EQ(NormaliseArguments(nullptr, *rules), "");
    }
}

TEST(CommandLine, MultibyteCharactersAreSteppedWhole) {
    const DoubleByteRules rules;
    // The ideographic space trims like any other space, at both ends.
    EXPECT_EQ(NormaliseArguments("\x81\x40/s\x81\x40", rules), "/s");
    // A double-byte character whose second byte is 0x20 is not a space: it stays, and makes the
    // full-screen switch carry an argument.
    EXPECT_EQ(NormaliseArguments("/s\x81 ", rules), "/s\x81 ");
    RecordingModes modes;
    EXPECT_EQ(ParseCommandLine("/s\x81 ", rules, modes), 1);
    EXPECT_EQ(ParseCommandLine("\x81\x40/S\x81\x40\x81\x40", rules, modes), 0);
    // The selector is one whole character: a double-byte one whose second byte reads 's' is not
    // 's'.
    EXPECT_EQ(ParseCommandLine("/\x82s", rules, modes), 1);
    // Leading spaces of the handle, ideographic ones included, are skipped.
    EXPECT_EQ(ParseCommandLine("/p:\x81\x40 1234", rules, modes), 0);
    EXPECT_EQ(modes.Runs, (std::vector<std::string>{"full screen", "preview 1234"}));
}

} // namespace
