// The Windows 95/98 password hooks of Lanternmoor.scr under Wine: the saver is copied under a name
// of its own into a folder beside stand-ins for "password.cpl" and "mpr.dll", and Wine is told, for
// that name only, which Windows version to report and which "mpr.dll" to load.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace harness;

namespace {

const std::string kAppDefaults = "Software\\Wine\\AppDefaults\\";

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

std::string HandleText(HWND window) {
    return std::to_string(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
}

// A copy of the saver named `exeName` in its own folder, with the hook log named in LM_HOOK_LOG
// and Wine's per-program settings for that name put back afterwards.
class HookedSaver {
public:
    explicit HookedSaver(const std::string& exeName)
        : exeName_(exeName), folder_(ScratchFolder(exeName + ".d")),
          appDefaults_(std::make_unique<RegistryKeySnapshot>(kAppDefaults + exeName)),
          settings_(std::make_unique<RegistryKeySnapshot>("Software\\Quillfern\\Lanternmoor")) {
        DeleteKeyTree(kAppDefaults + exeName);
        DeleteKeyTree("Software\\Quillfern\\Lanternmoor");
        copied_ = CopyScreenSaverInto(folder_, exeName);
        log_ = folder_ + "\\hooks.log";
        SetEnvironmentVariableA("LM_HOOK_LOG", log_.c_str());
    }
    ~HookedSaver() { SetEnvironmentVariableA("LM_HOOK_LOG", nullptr); }

    bool Copied() const { return copied_; }
    bool AddPasswordLibrary() { return CopyInto(LM_TEST_PASSWORD_CPL, folder_, "password.cpl"); }
    bool AddMprLibrary() { return CopyInto(LM_TEST_MPR_DLL, folder_, "mpr.dll"); }
    bool ReportVersion(const char* version) {
        return SetString(kAppDefaults + exeName_, "Version", version);
    }
    // "native" loads our mpr.dll from the folder; "" makes "mpr.dll" fail to load at all.
    bool MprLoadOrder(const char* order) {
        return SetString(kAppDefaults + exeName_ + "\\DllOverrides", "mpr", order);
    }
    std::string Path() const { return folder_ + "\\" + exeName_; }
    std::vector<std::string> Log() const { return ReadLines(log_); }

private:
    std::string exeName_;
    std::string folder_;
    std::unique_ptr<RegistryKeySnapshot> appDefaults_;
    std::unique_ptr<RegistryKeySnapshot> settings_;
    bool copied_ = false;
    std::string log_;
};

struct HookedFullScreenRun {
    explicit HookedFullScreenRun(const HookedSaver& saver) : Saver(saver.Path(), "/s") {
        Window = FindSaverWindow("ScreenSaverWindow", nullptr, Saver.Id(), 10000);
        if (Window != nullptr) WaitUntil([this] { return GetForegroundWindow() == Window; }, 3000);
    }
    Process Saver;
    HWND Window = nullptr;
};

TEST(PasswordHooks, OnTheNtFamilyTheCloseIsAllowedWithoutLoadingAnything) {
    HookedSaver saver("LanternmoorNt.scr");
    ASSERT_TRUE(saver.Copied());
    ASSERT_TRUE(saver.AddPasswordLibrary());
    ASSERT_TRUE(saver.ReportVersion("winxp"));
    HookedFullScreenRun run(saver);
    ASSERT_NE(run.Window, nullptr);
    SendKey('N');
    ASSERT_TRUE(run.Saver.WaitForExit(5000));
    EXPECT_EQ(run.Saver.ExitCode(), 0u);
    EXPECT_EQ(saver.Log(), std::vector<std::string>{}) << "password.cpl was loaded";
}

TEST(PasswordHooks, OnWindows98TheFirstCloseIsRefusedAndTheNextAllowed) {
    HookedSaver saver("LanternmoorW98.scr");
    ASSERT_TRUE(saver.Copied());
    ASSERT_TRUE(saver.AddPasswordLibrary());
    ASSERT_TRUE(saver.ReportVersion("win98"));
    HookedFullScreenRun run(saver);
    ASSERT_NE(run.Window, nullptr);

    SendKey('R');
    // Refused: the saver asked once and goes on.
    ASSERT_TRUE(WaitUntil([&] { return saver.Log().size() >= 3; }, 5000));
    Pump(300);
    EXPECT_TRUE(run.Saver.Running());
    EXPECT_TRUE(IsWindow(run.Window));

    SendKey('R');
    ASSERT_TRUE(run.Saver.WaitForExit(5000));
    EXPECT_EQ(run.Saver.ExitCode(), 0u);
    // The library is loaded for each request, called with the window, and freed again.
    const std::string verify = "verify " + HandleText(run.Window);
    EXPECT_EQ(saver.Log(),
              (std::vector<std::string>{"attach", verify, "detach", "attach", verify, "detach"}));
}

TEST(PasswordHooks, OnWindows98WithoutThePasswordLibraryTheFirstInputCloses) {
    HookedSaver saver("LanternmoorW98Bare.scr");
    ASSERT_TRUE(saver.Copied());
    ASSERT_TRUE(saver.ReportVersion("win98"));
    HookedFullScreenRun run(saver);
    ASSERT_NE(run.Window, nullptr);
    SendKey('B');
    ASSERT_TRUE(run.Saver.WaitForExit(5000));
    EXPECT_EQ(run.Saver.ExitCode(), 0u);
}

TEST(PasswordHooks, PasswordChangeCallsMprWithTheScreenSaverProvider) {
    HookedSaver saver("LanternmoorMpr.scr");
    ASSERT_TRUE(saver.Copied());
    ASSERT_TRUE(saver.AddMprLibrary());
    ASSERT_TRUE(saver.MprLoadOrder("native"));
    TestWindow parent(10, 10, 120, 90, RGB(0, 128, 0), WS_OVERLAPPEDWINDOW);
    Process run(saver.Path(), "/a " + HandleText(parent.Handle()));
    ASSERT_TRUE(run.WaitForExit(5000));
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_EQ(saver.Log(),
              (std::vector<std::string>{
                  "attach", "change SCRSAVE " + HandleText(parent.Handle()) + " 0 0", "detach"}));
}

TEST(PasswordHooks, PasswordChangeWithoutMprExitsWithOne) {
    HookedSaver saver("LanternmoorNoMpr.scr");
    ASSERT_TRUE(saver.Copied());
    ASSERT_TRUE(saver.MprLoadOrder(""));
    TestWindow parent(10, 10, 120, 90, RGB(0, 128, 0), WS_OVERLAPPEDWINDOW);
    Process run(saver.Path(), "/a " + HandleText(parent.Handle()));
    ASSERT_TRUE(run.WaitForExit(5000));
    EXPECT_EQ(run.ExitCode(), 1u);
}

} // namespace
