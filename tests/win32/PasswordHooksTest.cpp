// The Windows 95/98 password hooks of Lanternmoor.scr under Wine: the saver is copied under a name
// of its own into a folder beside stand-ins for "password.cpl" and "mpr.dll", and Wine is told, for
// that name only, which Windows version to report and which "mpr.dll" to load.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace harness;

namespace {

const std::string kAppDefaults = "Software\\Wine\\AppDefaults\\";

// A copy of the saver named `exeName` in its own folder, logging the stand-ins' loads and calls
// to the file named in LM_HOOK_LOG; Wine's settings for that name are put back afterwards.
class HookedSaver {
public:
    explicit HookedSaver(const std::string& exeName)
        : exeName_(exeName),
          folder_(WindowsPath(std::string(LM_TEST_BINARY_DIR) + "/" + exeName + ".d")),
          appDefaults_(kAppDefaults + exeName) {
        CreateDirectoryA(folder_.c_str(), nullptr);
        DeleteFileA(Log().c_str());
        DeleteFileA((folder_ + "\\password.cpl").c_str());
        SetEnvironmentVariableA("LM_HOOK_LOG", Log().c_str());
        EXPECT_TRUE(CopyInto(LM_SCREENSAVER_UNIX_PATH, exeName));
    }
    ~HookedSaver() { SetEnvironmentVariableA("LM_HOOK_LOG", nullptr); }

    bool CopyInto(const std::string& unixPath, const std::string& name) const {
        return CopyFileA(WindowsPath(unixPath).c_str(), (folder_ + "\\" + name).c_str(), FALSE);
    }
    bool SetAppDefault(const std::string& subkey, const char* name, const char* value) const {
        return SetString(kAppDefaults + exeName_ + subkey, name, value);
    }
    std::string Path() const { return folder_ + "\\" + exeName_; }
    std::string Log() const { return folder_ + "\\hooks.log"; }
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::ifstream file(Log());
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

private:
    std::string exeName_;
    std::string folder_;
    RegistryKeySnapshot appDefaults_;
    RegistryKeySnapshot settings_{kSettingsKey};
};

TEST(PasswordHooks, TheCloseIsAskedOfPasswordCplOnlyOnWindows98) {
    const struct {
        const char* ExeName;
        const char* Version;
        bool WithPasswordCpl; // which refuses the first request
    } cases[] = {{"LanternmoorNt.scr", "winxp", true},
                 {"LanternmoorW98Bare.scr", "win98", false},
                 {"LanternmoorW98.scr", "win98", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ExeName);
        HookedSaver hooked(c.ExeName);
        ASSERT_TRUE(hooked.SetAppDefault("", "Version", c.Version));
        if (c.WithPasswordCpl) {
            ASSERT_TRUE(hooked.CopyInto(LM_TEST_PASSWORD_CPL, "password.cpl"));
        }
        const bool asks = c.WithPasswordCpl && std::string(c.Version) == "win98";
        FullScreenRun run(hooked.Path());
        ASSERT_NE(run.Window, nullptr);
        // The library is loaded for each request, called with the window, and freed again.
        const std::vector<std::string> request{"attach", "verify " + HandleText(run.Window),
                                               "detach"};
        std::vector<std::string> log;
        if (asks) {
            SendKeys({'R'});
            ASSERT_TRUE(WaitUntil([&] { return hooked.LogLines() == request; }, 5000));
            EXPECT_TRUE(StaysOpen(run.Saver, run.Window)) << "the refusal was not heeded";
            log = request;
            log.insert(log.end(), request.begin(), request.end());
        }
        SendKeys({'R'});
        EXPECT_TRUE(EndsWith(run.Saver, 0));
        EXPECT_EQ(hooked.LogLines(), log);
    }
}

TEST(PasswordHooks, PasswordChangeCallsMprWithTheScreenSaverProviderOrExitsWithOneWithoutIt) {
    for (const bool withMpr : {true, false}) {
        HookedSaver hooked(withMpr ? "LanternmoorMpr.scr" : "LanternmoorNoMpr.scr");
        SCOPED_TRACE(hooked.Path());
        // "native" loads our mpr.dll from the folder; "" lets no "mpr.dll" load at all.
        ASSERT_TRUE(hooked.SetAppDefault("\\DllOverrides", "mpr", withMpr ? "native" : ""));
        ASSERT_TRUE(hooked.CopyInto(LM_TEST_MPR_DLL, "mpr.dll"));
        TestWindow parent(10, 10, 120, 90, WS_OVERLAPPEDWINDOW);
        Process run(hooked.Path(), "/a " + HandleText(parent.Handle()));
        EXPECT_TRUE(EndsWith(run, withMpr ? 0 : 1));
        const std::string change = "change SCRSAVE " + HandleText(parent.Handle()) + " 0 0";
        EXPECT_EQ(hooked.LogLines(), (withMpr ? std::vector<std::string>{"attach", change, "detach"}
                                              : std::vector<std::string>{}));
    }
}

} // namespace
