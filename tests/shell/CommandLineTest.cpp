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

struct Case {
    const char* Arguments;
    int ExitCode;
    const char* Run; // the one mode run, or "" when nothing runs
};

void ExpectCases(const std::vector<Case>& cases, int modeResult = 0) {
    for (const TextRules* rules : RulesUnderTest()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string("arguments \"") + c.Arguments + "\"");
            RecordingModes modes;
            modes.Result = modeResult;
            EXPECT_EQ(ParseCommandLine(c.Arguments, *rules, modes), c.ExitCode);
            const std::vector<std::string> expected =
                *c.Run == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.Run};
            EXPECT_EQ(modes.Runs, expected);
        }
    }
}

TEST(CommandLine, EmptyOrBlankArgumentsOpenTheConfigurationWithoutOwner) {
    ExpectCases({{"", 0, "configuration 0"},
                 {"   ", 0, "configuration 0"},
                 {" \t\r\n ", 0, "configuration 0"}});
}

TEST(CommandLine, FullScreenSwitchInAnyCaseAndPaddingButWithNothingAfterIt) {
    ExpectCases({{"/s", 0, "full screen"},
                 {"-S", 0, "full screen"},
                 {"/S", 0, "full screen"},
                 {" /s ", 0, "full screen"},
                 {"\t-s\t", 0, "full screen"},
                 {"/s 5", 1, ""},
                 {"/save", 1, ""},
                 {"/sx", 1, ""},
                 {"s", 1, ""},
                 {"x/s", 1, ""}});
}

TEST(CommandLine, PreviewTakesTheParentHandleInEveryWrittenForm) {
    ExpectCases({{"/p 1234", 0, "preview 1234"},
                 {"/p:1234", 0, "preview 1234"},
                 {"/P : 1234", 0, "preview 1234"},
                 {"/l1234", 0, "preview 1234"},
                 {"-L   1234  ", 0, "preview 1234"},
                 {"/p +1234", 0, "preview 1234"},
                 {"/p 1234xyz", 0, "preview 1234"},
                 {"/p 12 34", 1, ""}, // reads 12, which is no window
                 {"/p", 1, ""},
                 {"/p:", 1, ""},
                 {"/p 0", 1, ""},
                 {"/p 99", 1, ""},
                 {"/p : : 1234", 1, ""},
                 {"/p x1234", 1, ""}});
}

TEST(CommandLine, HandlesAtOrAbove2To31ArriveModulo2To32) {
    ExpectCases({// 0x80000068 written unsigned, signed, and sign-extended to 64 bits.
                 {"/p 2147483752", 0, "preview 2147483752"},
                 {"/p -2147483544", 0, "preview 2147483752"},
                 {"/p 18446744071562068072", 0, "preview 2147483752"},
                 // 0x80020068 as a 64-bit caller writes it.
                 {"/p 18446744071562199144", 0, "preview 2147614824"},
                 {"/p:4294967295", 0, "preview 4294967295"},
                 {"/p -1", 0, "preview 4294967295"},
                 {"/p 18446744073709551615", 0, "preview 4294967295"},
                 // 1234 plus multiples of 2^32.
                 {"/p 4294968530", 0, "preview 1234"},
                 {"/l 79228162514264337593543951570", 0, "preview 1234"},
                 {"/p 4294967296", 1, ""}});
}

TEST(CommandLine, ConfigurationOwnedByTheForegroundOrTheGivenWindow) {
    ExpectCases({{"/c", 0, "configuration 777"},
                 {"-C", 0, "configuration 777"},
                 // A sheet that ran reports its result, also when it was given an owner.
                 {"/c:1234", 0, "configuration 1234"},
                 {"/c 1234", 0, "configuration 1234"},
                 {"/c:99", 1, ""},
                 {"/config", 1, ""},
                 {"/c:", 1, ""}});
}

TEST(CommandLine, PasswordChangeNeedsAParentWindow) {
    ExpectCases({{"/a 1234", 0, "password 1234"},
                 {"/A:1234", 0, "password 1234"},
                 {"/a", 1, ""},
                 {"/a 99", 1, ""},
                 {"/a 0", 1, ""}});
}

TEST(CommandLine, UnknownOrMissingSelectorRunsNothing) {
    ExpectCases({{"/x", 1, ""},
                 {"/", 1, ""},
                 {"-", 1, ""},
                 {" / ", 1, ""},
                 {"/ s", 1, ""},
                 {"//s", 1, ""},
                 {"/?", 1, ""},
                 {"1234", 1, ""}});
}

TEST(CommandLine, TheModesResultBecomesTheExitCode) {
    // A password change whose library is missing reports 1; any result is passed on unchanged.
    ExpectCases({{"/a 1234", 1, "password 1234"},
                 {"/s", 1, "full screen"},
                 {"/p 1234", 1, "preview 1234"},
                 {"", 1, "configuration 0"},
                 {"/c:1234", 1, "configuration 1234"}},
                1);
    ExpectCases({{"/s", 42, "full screen"}, {"/c", 42, "configuration 777"}}, 42);
}

TEST(CommandLine, WindowValuesAreReadModulo2To32WithOptionalSign) {
    for (const TextRules* rules : RulesUnderTest()) {
        EXPECT_EQ(ReadWindowValue("", *rules), 0u);
        EXPECT_EQ(ReadWindowValue("-", *rules), 0u);
        EXPECT_EQ(ReadWindowValue("+-5", *rules), 0u);
        EXPECT_EQ(ReadWindowValue("-0", *rules), 0u);
        EXPECT_EQ(ReadWindowValue("  \t42", *rules), 42u);
        EXPECT_EQ(ReadWindowValue("2147483647", *rules), 0x7FFFFFFFu);
        EXPECT_EQ(ReadWindowValue("-2147483648", *rules), 0x80000000u);
        EXPECT_EQ(ReadWindowValue("4294967295", *rules), 0xFFFFFFFFu);
        EXPECT_EQ(ReadWindowValue("4294967296", *rules), 0u);
        EXPECT_EQ(ReadWindowValue("-4294967295", *rules), 1u);
        EXPECT_EQ(ReadWindowValue("18446744073709551616", *rules), 0u); // 2^64
        // 10^30 = 2^30 * 5^30, and 5^30 mod 2^2 = 1, so 10^30 mod 2^32 = 2^30.
        EXPECT_EQ(ReadWindowValue("1" + std::string(30, '0'), *rules), 0x40000000u);
        // A thousand nines: 10^1000 - 1 mod 2^32 = -1 mod 2^32, since 2^32 divides 10^1000.
        EXPECT_EQ(ReadWindowValue(std::string(1000, '9'), *rules), 0xFFFFFFFFu);
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
