// The Windows 95/98 password hooks of Lanternmoor.scr under Wine: the saver is copied under a name
// of its own into a folder beside stand-ins for "password.cpl" and "mpr.dll", and Wine is told, for
// that name only, which Windows version to report and which "mpr.dll" to load.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace harness;

namespace {

// A copy of the saver named `name` in a folder of its own, whose stand-ins log their loads and
// calls to hooks.log there (through LM_HOOK_LOG); Wine's settings for that name are put back.
struct HookedSaver {
    explicit HookedSaver(const std::string& name)
        : Name(name), Folder(WindowsPath(LM_TEST_BINARY_DIR "/" + name + ".d")) {
        CreateDirectoryA(Folder.c_str(), nullptr);
        for (const char* file : {"\\hooks.log", "\\password.cpl"})
            DeleteFileA((Folder + file).c_str());
        SetEnvironmentVariableA("LM_HOOK_LOG", (Folder + "\\hooks.log").c_str());
        EXPECT_TRUE(CopyInto(LM_SCREENSAVER_UNIX_PATH, name));
    }
    bool CopyInto(const std::string& unixPath, const std::string& name) const {
        return CopyFileA(WindowsPath(unixPath).c_str(), (Folder + "\\" + name).c_str(), FALSE);
    }
    std::string Log() const {
        std::ifstream file(Folder + "\\hooks.log");
        return {std::istreambuf_iterator<char>(file), {}};
    }

    const std::string Name, Folder, AppDefaults = "Software\\Wine\\AppDefaults\\" + Name;
    const RegistryKeySnapshot AppDefaultsSnapshot{AppDefaults}, Settings{kSettingsKey};
};

TEST(PasswordHooks, TheCloseIsAskedOfPasswordCplOnlyOnWindows98) {
    const struct {
        const char* Name;
        const char* Version;
        bool WithPasswordCpl; // which refuses the first request
    } cases[] = {{"LanternmoorNt.scr", "winxp", true},
                 {"LanternmoorW98Bare.scr", "win98", false},
                 {"LanternmoorW98.scr", "win98", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        HookedSaver hooked(c.Name);
        ASSERT_TRUE(SetString(hooked.AppDefaults, "Version", c.Version));
        if (c.WithPasswordCpl) {
            ASSERT_TRUE(hooked.CopyInto(LM_TEST_PASSWORD_CPL, "password.cpl"));
        }
        FullScreenRun run(hooked.Folder + "\\" + c.Name);
        ASSERT_NE(run.Window, nullptr);
        // The library is loaded for each request, called with the window, and freed again.
        const std::string request = "attach\nverify " + HandleText(run.Window) + "\ndetach\n";
        std::string log;
        if (c.WithPasswordCpl && c.Version == std::string("win98")) {
            SendKeys({'R'});
            ASSERT_TRUE(WaitUntil([&] { return hooked.Log() == request; }, 5000));
            EXPECT_TRUE(StaysOpen(run.Saver, run.Window)) << "the refusal was not heeded";
            log = request + request;
        }
        SendKeys({'R'});
        EXPECT_TRUE(EndsWith(run.Saver, 0));
        EXPECT_EQ(hooked.Log(), log);
    }
}

TEST(PasswordHooks, PasswordChangeCallsMprWithTheScreenSaverProviderOrExitsWithOneWithoutIt) {
    for (const bool withMpr : {true, false}) {
        HookedSaver hooked(withMpr ? "LanternmoorMpr.scr" : "LanternmoorNoMpr.scr");
        SCOPED_TRACE(hooked.Name);
        // "native" loads our mpr.dll from the folder; "" lets no "mpr.dll" load at all.
        ASSERT_TRUE(
            SetString(hooked.AppDefaults + "\\DllOverrides", "mpr", withMpr ? "native" : ""));
        ASSERT_TRUE(hooked.CopyInto(LM_TEST_MPR_DLL, "mpr.dll"));
        TestWindow parent(10, 10, 120, 90, WS_OVERLAPPEDWINDOW);
        Process run(hooked.Folder + "\\" + hooked.Name, "/a " + HandleText(parent.Handle()));
        EXPECT_TRUE(EndsWith(run, withMpr ? 0 : 1));
        const std::string change = "change SCRSAVE " + HandleText(parent.Handle()) + " 0 0";
        EXPECT_EQ(hooked.Log(), withMpr ? "attach\n" + change + "\ndetach\n" : "");
    }
}

} // namespace
