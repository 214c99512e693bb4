// Reliability of Lanternmoor.scr under Wine: a run of many steps with random paging that must
// leave the same live handles after every step and not grow; pictures that are damaged, refused,
// tiny or huge; every settings value of every wrong type; the preview started and closed over
// and over by a host program of its own. The diagnostic builds report
// their handle counts and memory through the handle probe (HandleProbe.h).
//   LM_SOAK_STEPS (30) and LM_PREVIEW_STARTS (100) set the lengths; tools/soak runs the long ones.
#include "base/Handles_win32.h"
#include "tests/win32/HandleProbe.h"
#include "tests/win32/WineHarness.h"

#include <sddl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <tuple>

using namespace harness;

namespace {

const std::string kEffectsKey = SettingKey("Small checkers");

long EnvironmentNumber(const char* name, long fallback) {
    char text[32] = {};
    return GetEnvironmentVariableA(name, text, sizeof text) != 0 ? std::atol(text) : fallback;
}

// What every step of a show of pictures leaves: the picture's bitmap and its memory context on
// each monitor (LM_MONITORS, 1 unless a test display has more), and the caption brush; no palette
// on a 24-bit display, no font, no cursor.
const long kMonitors = EnvironmentNumber("LM_MONITORS", 1);
const std::array<long, 6> kShowHandles{kMonitors, kMonitors, 1, 0, 0, 0};

// The probe's reading after each of the first `steps` steps of a full-screen run, in order, while
// `act` (called between readings with the steps seen so far) may send input. Fails when the saver
// dies, a step goes by unread or the steps do not come within `millisPerStep` each.
std::vector<probe::Reading> ReadSteps(FullScreenRun& run, std::size_t steps, DWORD millisPerStep,
                                      const std::function<void(std::size_t)>& act) {
    std::vector<probe::Reading> readings;
    HWND window = nullptr;
    WaitUntil([&] { return (window = probe::Find(run.Saver.Id())) != nullptr; }, 10000);
    const DWORD start = GetTickCount();
    while (readings.size() < steps && window != nullptr) {
        if (!run.Saver.Running()) {
            ADD_FAILURE() << "the saver died after step " << readings.size();
            break;
        }
        if (GetTickCount() - start > 20000 + millisPerStep * steps) {
            ADD_FAILURE() << "only " << readings.size() << " steps";
            break;
        }
        probe::Reading reading;
        if (probe::Read(window, reading) && reading.Steps > static_cast<long>(readings.size())) {
            EXPECT_EQ(reading.Steps, static_cast<long>(readings.size()) + 1) << "a step unread";
            readings.push_back(reading);
        }
        act(readings.size());
        Pump(20);
    }
    EXPECT_NE(window, nullptr) << "no probe";
    return readings;
}

// All four effects, a picture every 2 s, transitions of 1 s, captions, Page Up and Page Down at
// random moments (a third of them fall in transitions and are dropped). monitors-check.sh runs it
// on two monitors too.
TEST(Soak, EveryStepLeavesTheSameHandlesAndTheMemoryStaysFlat) {
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    // A Wine process may report the monitors it saw before for a moment.
    ASSERT_TRUE(WaitUntil([] { return GetSystemMetrics(SM_CMONITORS) == kMonitors; }, 20000));
    const ShowSettings settings(
        {{"ShowText", 1}, {"UseEffects", 1}, {"PictureMillis", 2000}, {"EffectMillis", 1000}});
    const auto steps = static_cast<std::size_t>(EnvironmentNumber("LM_SOAK_STEPS", 30));
    std::mt19937 random(static_cast<unsigned>(EnvironmentNumber("LM_SOAK_SEED", 16)));
    FullScreenRun run(WindowsPath(LM_SOAK_SCR));
    ASSERT_NE(run.Window, nullptr);
    int keys = 0;
    DWORD nextKey = GetTickCount() + random() % 3000;
    const std::vector<probe::Reading> readings = ReadSteps(run, steps, 5000, [&](std::size_t) {
        if (static_cast<LONG>(GetTickCount() - nextKey) < 0) return;
        SendKeys({static_cast<WORD>(random() % 2 != 0 ? VK_NEXT : VK_PRIOR)});
        ++keys;
        nextKey = GetTickCount() + 100 + random() % 3000;
    });
    ASSERT_EQ(readings.size(), steps);
    for (std::size_t step = 0; step < steps; ++step)
        EXPECT_EQ(readings[step].Handles, kShowHandles) << "after step " << step + 1;
    std::printf("%zu steps, %d keys; private memory after step 1: %ld KB", steps, keys,
                readings[0].PrivateKb);
    for (const std::size_t step : {10u, 30u, 100u, 500u, 1000u})
        if (step <= steps) std::printf(", %zu: %ld KB", step, readings[step - 1].PrivateKb);
    std::printf("\n");
    // The heap has settled by step 10 (short runs compare it with step 30) or 30 (long runs, 500).
    const std::size_t base = steps >= 500 ? 30 : 10;
    if (steps >= 30) {
        EXPECT_LT(std::labs(readings[steps - 1].PrivateKb - readings[base - 1].PrivateKb), 1024);
    }
    Quit(run);
}

// The diagnostic build's pictures (make-hostile-pictures.sh, and two of the show's) paged through
// three times with transitions and captions: each step leaves the memory context, the brush and one
// bitmap, or none for the arithmetic-coded picture the decoder refuses, whose transition leaves the
// screen black; the same at every lap, and the memory of the third lap as that of the first. (What
// the screen shows of the others is compared exactly in the show's screen tests, without
// transitions.)
TEST(HostilePictures, TheShowStepsOverEachAndNothingGrows) {
    const ShowSettings settings({{"ShowText", 1}, {"UseEffects", 1}, {"EffectMillis", 300}});
    constexpr std::size_t kPictures = 9, kLaps = 3;
    const std::vector<std::string> names = {"114",  "cut short", "flipped",   "arithmetic", "one",
                                            "huge", "grey",      "odd scans", "odd scans 2"};
    FullScreenRun run(WindowsPath(LM_HOSTILE_SCR));
    ASSERT_NE(run.Window, nullptr);
    std::size_t paged = 0;
    std::vector<DWORD> refused;
    const std::vector<probe::Reading> readings =
        ReadSteps(run, kPictures * kLaps, 30000, [&](std::size_t done) {
            if (done == paged) return;
            if (done == 4) refused = Capture(run.Window).second;
            SendKeys({VK_NEXT});
            paged = done;
        });
    ASSERT_EQ(readings.size(), kPictures * kLaps);
    for (std::size_t step = 0; step < readings.size(); ++step) {
        std::array<long, 6> expected = kShowHandles;
        if (step % kPictures == 3) expected[0] = 0;
        EXPECT_EQ(readings[step].Handles, expected)
            << names[step % kPictures] << " lap " << step / kPictures;
    }
    EXPECT_TRUE(!refused.empty() &&
                std::all_of(refused.begin(), refused.end(), [](DWORD p) { return p == 0; }));
    std::printf("private memory after laps 1, 2, 3: %ld, %ld, %ld KB\n",
                readings[kPictures - 1].PrivateKb, readings[2 * kPictures - 1].PrivateKb,
                readings[3 * kPictures - 1].PrivateKb);
    EXPECT_LT(std::labs(readings[3 * kPictures - 1].PrivateKb - readings[kPictures - 1].PrivateKb),
              1024);
    Quit(run);
}

// A value of every wrong size and range, in the settings key and its subkey: name, type and bytes.
// (Every type and size is read natively against the tests' store; strings and short values
// through the registry in the configuration's test.)
const std::tuple<const char*, DWORD, std::vector<BYTE>> kHostile[] = {
    {"0 bytes of binary", REG_BINARY, {}},
    {"a QWORD, more than the reader's buffer", REG_QWORD, {0x10, 0x27, 0, 0, 1, 0, 0, 0}},
    {"0", REG_DWORD, {0, 0, 0, 0}},
    {"0xFFFFFFFF", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"0x80000000", REG_DWORD, {0, 0, 0, 0x80}},
    {"0x7FFFFFFF", REG_DWORD, {0xFF, 0xFF, 0xFF, 0x7F}},
};

// The saver shows a picture and closes on a key; the configuration shows every setting in range
// (check boxes checked or not, sliders inside 2 to 10 s and 1 to 5 s) and Cancel writes nothing
// back. The sliders' positions.
std::pair<long long, long long> CheckShowAndConfiguration(const std::string& what) {
    SCOPED_TRACE(what);
    {
        FullScreenRun show;
        EXPECT_TRUE(WaitUntil(
            [&] {
                const std::vector<DWORD> pixels = Capture(show.Window).second;
                return std::any_of(pixels.begin(), pixels.end(), [](DWORD p) { return p != 0; });
            },
            15000));
        Quit(show);
    }
    SheetRun run("/c");
    EXPECT_NE(run.Page, nullptr);
    PageState shown = run.Shown();
    for (const char* box : {"EnlargeToFit", "RandomOrder", "ShowText", "EnableKeys", "UseEffects"})
        EXPECT_TRUE(shown[box] == BST_CHECKED || shown[box] == BST_UNCHECKED)
            << box << " " << shown[box];
    const long long picture = shown["PictureMillis"], effect = shown["EffectMillis"];
    EXPECT_TRUE(picture >= 2000 && picture <= 10000 && effect >= 1000 && effect <= 5000)
        << picture << ", " << effect;
    run.Press(PSBTN_CANCEL);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
    return {picture, effect};
}

TEST(HostileSettings, EveryValueOfEveryWrongTypeStartsShowsClosesAndConfiguresInRange) {
    const RegistryKeySnapshot snapshot(kSettingsKey);
    for (const auto& [name, type, bytes] : kHostile) {
        SCOPED_TRACE(name);
        for (const std::string& setting : SettingNames())
            ASSERT_TRUE(SetValue(SettingKey(setting), setting, type, bytes.data(),
                                 static_cast<DWORD>(bytes.size())));
        CheckShowAndConfiguration(name);
        // Nothing written back: the value is still the hostile one.
        BYTE data[16] = {};
        DWORD stored = 0, size = sizeof data;
        EXPECT_EQ(SHGetValueA(HKEY_CURRENT_USER, kEffectsKey.c_str(), "Small checkers", &stored,
                              data, &size),
                  0L);
        EXPECT_EQ(stored, type);
        EXPECT_EQ(std::vector<BYTE>(data, data + size), bytes);
    }
}

// A key locked for one scope (Wine keeps registry permissions): its access list replaced by
// `dacl`, then put back.
class LockedKey {
public:
    LockedKey(const std::string& path, const char* dacl)
        : Key(OpenRegistryKey(HKEY_CURRENT_USER, path.c_str(), READ_CONTROL | WRITE_DAC)) {
        DWORD size = sizeof Saved;
        EXPECT_EQ(RegGetKeySecurity(Key.Get(), DACL_SECURITY_INFORMATION, Saved, &size), 0L);
        PSECURITY_DESCRIPTOR locked = nullptr;
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl, SDDL_REVISION_1,
                                                                         &locked, nullptr));
        EXPECT_EQ(RegSetKeySecurity(Key.Get(), DACL_SECURITY_INFORMATION, locked), 0L);
        LocalFree(locked);
    }
    ~LockedKey() { EXPECT_EQ(RegSetKeySecurity(Key.Get(), DACL_SECURITY_INFORMATION, Saved), 0L); }
    LockedKey(const LockedKey&) = delete;
    LockedKey& operator=(const LockedKey&) = delete;

private:
    const UniqueRegistryKey Key;
    alignas(8) BYTE Saved[1024] = {};
};

// The key and its subkey only readable, as an administrator may lock them: the stored values
// (3 s a picture, 1.5 s a transition) still count. Unreadable: the show runs on the defaults and
// the configuration shows them (2 s and 2 s).
TEST(HostileSettings, AReadOnlyKeyGivesItsValuesAnUnreadableOneTheDefaults) {
    const ShowSettings show({{"PictureMillis", 3000}, {"EffectMillis", 1500}});
    ASSERT_TRUE(SetDword(kEffectsKey, "Big checkers", 1));
    // Everyone may read; no one may do anything.
    const std::pair<const char*, std::pair<long long, long long>> locks[] = {
        {"D:(A;;KR;;;WD)", {3000, 1500}}, {"D:", {2000, 2000}}};
    for (const auto& [dacl, positions] : locks) {
        SCOPED_TRACE(dacl);
        const LockedKey effects(kEffectsKey, dacl), settings(kSettingsKey, dacl);
        ASSERT_EQ(KeyExists(kSettingsKey), positions.first == 3000);
        ASSERT_FALSE(KeyExists(kSettingsKey, KEY_SET_VALUE));
        EXPECT_EQ(CheckShowAndConfiguration("locked"), positions);
    }
    EXPECT_EQ(CheckShowAndConfiguration("readable again"), std::make_pair(3000LL, 1500LL));
}

// The preview started and closed by preview_host.exe, a host process of its own: each preview
// shown, ended within a second of its parent and with exit code 0 (the host checks and prints
// each, and ends any saver still running as a failure).
TEST(PreviewSoak, EveryPreviewEndsWithinASecondOfItsParentAndNoneStays) {
    const long starts = EnvironmentNumber("LM_PREVIEW_STARTS", 100);
    Process host(WindowsPath(LM_PREVIEW_HOST),
                 "\"" + ScreenSaverPath() + "\" " + std::to_string(starts));
    EXPECT_TRUE(EndsWith(host, 0, 20000 + 10000 * static_cast<DWORD>(starts)));
}

} // namespace
