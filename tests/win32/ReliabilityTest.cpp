// Reliability of Lanternmoor.scr under Wine: a run of many steps with random paging that must
// leave the same live handles after every step and not grow; pictures that are damaged, refused,
// tiny or huge; every settings value of every wrong type; hostile command lines; the preview
// started and closed over and over by a host program of its own. The diagnostic builds report
// their handle counts and memory through the handle probe (HandleProbe.h).
//   LM_SOAK_STEPS (30) and LM_PREVIEW_STARTS (100) set the lengths; tools/soak runs the long ones.
#include "tests/win32/HandleProbe.h"
#include "tests/win32/WineHarness.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

using namespace harness;

namespace {

const std::string kEffectsKey = kSettingsKey + "\\Transition Effects";
const char* const kFlags[] = {"EnlargeToFit", "RandomOrder", "ShowText", "EnableKeys",
                              "UseEffects"};
const char* const kEffects[] = {"Horizontal lines", "Vertical lines", "Big checkers",
                                "Small checkers"};
// What every step of a show of pictures leaves: the picture's bitmap, the memory context and the
// caption brush; no palette on a 24-bit display, no font, no cursor.
const std::array<long, 6> kShowHandles{1, 1, 1, 0, 0, 0};

long EnvironmentNumber(const char* name, long fallback) {
    char text[32] = {};
    return GetEnvironmentVariableA(name, text, sizeof text) != 0 ? std::atol(text) : fallback;
}

// Writes the show's settings: every flag and effect on unless named in `off`, and the two times.
void SetShow(DWORD pictureMillis, DWORD effectMillis, std::initializer_list<std::string> off = {}) {
    auto on = [&](const std::string& name) {
        return std::find(off.begin(), off.end(), name) == off.end() ? 1u : 0u;
    };
    for (const char* flag : kFlags)
        EXPECT_TRUE(SetDword(kSettingsKey, flag, on(flag)));
    for (const char* effect : kEffects)
        EXPECT_TRUE(SetDword(kEffectsKey, effect, on(effect)));
    EXPECT_TRUE(SetDword(kSettingsKey, "PictureMillis", pictureMillis));
    EXPECT_TRUE(SetDword(kSettingsKey, "EffectMillis", effectMillis));
}

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

void Quit(FullScreenRun& run) {
    SendKeys({'Q'});
    EXPECT_TRUE(EndsWith(run.Saver, 0, 10000));
}

// All four effects, a picture every 2 s, transitions of 1 s, captions, Page Up and Page Down at
// random moments (a third of them fall in transitions and are dropped).
TEST(Soak, EveryStepLeavesTheSameHandlesAndTheMemoryStaysFlat) {
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    const RegistryKeySnapshot snapshot(kSettingsKey);
    SetShow(2000, 1000, {"EnlargeToFit", "RandomOrder"});
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

// The diagnostic build's pictures (make-hostile-pictures.sh) paged through three times with
// transitions and captions: each step leaves the memory context, the brush and one bitmap, or
// none for the arithmetic-coded picture the decoder refuses; the same at every lap, and the
// memory of the third lap as that of the first.
TEST(HostilePictures, TheShowStepsOverEachAndNothingGrows) {
    const RegistryKeySnapshot snapshot(kSettingsKey);
    SetShow(600000, 300, {"EnlargeToFit", "RandomOrder"});
    constexpr std::size_t kPictures = 9, kLaps = 3;
    const std::vector<std::string> names = {"114",  "truncated", "flipped",   "arithmetic", "one",
                                            "huge", "grey",      "odd scans", "odd scans 2"};
    FullScreenRun run(WindowsPath(LM_HOSTILE_SCR));
    ASSERT_NE(run.Window, nullptr);
    std::size_t paged = 0;
    std::vector<std::pair<LONG, std::vector<DWORD>>> screens;
    const std::vector<probe::Reading> readings =
        ReadSteps(run, kPictures * kLaps, 30000, [&](std::size_t done) {
            if (done == paged) return;
            if (done <= kPictures) screens.push_back(Capture(run.Window));
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
    std::printf("private memory after laps 1, 2, 3: %ld, %ld, %ld KB\n",
                readings[kPictures - 1].PrivateKb, readings[2 * kPictures - 1].PrivateKb,
                readings[3 * kPictures - 1].PrivateKb);
    EXPECT_LT(std::labs(readings[3 * kPictures - 1].PrivateKb - readings[kPictures - 1].PrivateKb),
              1024);
    // What the screen showed: the refused picture black all over; the grey one grey with its
    // caption; the single pixel alone at the centre, (1024 - 1) / 2 and (768 - 1) / 2.
    ASSERT_EQ(screens.size(), kPictures);
    auto count = [](const std::vector<DWORD>& pixels, const std::function<bool(DWORD)>& test) {
        return std::count_if(pixels.begin(), pixels.end(), test);
    };
    const auto& [width, arithmetic] = screens[3];
    EXPECT_EQ(count(arithmetic, [](DWORD p) { return p != 0; }), 0);
    const std::vector<DWORD>& grey = screens[6].second;
    EXPECT_EQ(
        count(grey,
              [](DWORD p) { return (p & 0xFF) != (p >> 8 & 0xFF) || (p & 0xFF) != (p >> 16); }),
        0);
    EXPECT_GT(count(grey, [](DWORD p) { return p == 0xFFFFFF; }), 50) << "the caption's text";
    const std::vector<DWORD>& one = screens[4].second;
    const DWORD centre = one[383 * width + 511];
    EXPECT_EQ(count(one, [](DWORD p) { return p != 0; }), 1);
    EXPECT_TRUE((centre >> 8 & 0xFF) > 0xA0 && (centre >> 16) < 0x40) << std::hex << centre;
    Quit(run);
}

// A value of every wrong type, size and range, in the settings key and its subkey.
struct Hostile {
    const char* Name;
    DWORD Type;
    std::vector<BYTE> Data;
};
std::vector<BYTE> Bytes(std::uint64_t value, std::size_t size) {
    std::vector<BYTE> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<BYTE>(value >> (8 * i));
    return bytes;
}
const Hostile kHostile[] = {
    {"a string", REG_SZ, {'3', '0', '0', '0', 0}},
    {"0 bytes of binary", REG_BINARY, {}},
    {"1 byte", REG_BINARY, {1}},
    {"3 bytes", REG_BINARY, {0x10, 0x27, 0}},
    {"8 bytes", REG_BINARY, Bytes(0x0000000100002710ull, 8)},
    {"a QWORD", REG_QWORD, Bytes(0x0000000100002710ull, 8)},
    {"0", REG_DWORD, Bytes(0, 4)},
    {"0xFFFFFFFF", REG_DWORD, Bytes(0xFFFFFFFF, 4)},
    {"0x80000000", REG_DWORD, Bytes(0x80000000, 4)},
    {"0x7FFFFFFF", REG_DWORD, Bytes(0x7FFFFFFF, 4)},
};

// Whether the screen shows anything but black within `milliseconds`.
bool ShowsAPicture(HWND window, DWORD milliseconds) {
    return WaitUntil(
        [&] {
            const std::vector<DWORD> pixels = Capture(window).second;
            return std::any_of(pixels.begin(), pixels.end(), [](DWORD p) { return p != 0; });
        },
        milliseconds);
}

// Every window below `parent` of the given class.
struct ChildSearch {
    const char* ClassName;
    std::vector<HWND> Found;
};
BOOL CALLBACK AddChildOfClass(HWND child, LPARAM search) {
    auto& [className, found] = *reinterpret_cast<ChildSearch*>(search);
    char text[64] = {};
    GetClassNameA(child, text, sizeof text);
    if (lstrcmpiA(text, className) == 0) found.push_back(child);
    return TRUE;
}
std::vector<HWND> Children(HWND parent, const char* className) {
    ChildSearch search{className, {}};
    EnumChildWindows(parent, &AddChildOfClass, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// The configuration shows every hostile value in range (check boxes checked or not, sliders
// inside 2 to 10 s and 1 to 5 s) and Cancel writes nothing back.
// The sliders' positions.
std::vector<LRESULT> CheckConfiguration(const std::string& what) {
    SCOPED_TRACE(what);
    std::vector<LRESULT> positions;
    Process sheet(ScreenSaverPath(), "/c");
    const HWND window = FindWindowOf(sheet.Id(), "#32770", "Properties");
    EXPECT_NE(window, nullptr);
    Pump(200);
    const std::vector<HWND> sliders = Children(window, "msctls_trackbar32");
    EXPECT_EQ(sliders.size(), 2u);
    if (sliders.size() != 2) return positions;
    const std::pair<LRESULT, LRESULT> ranges[] = {{2000, 10000}, {1000, 5000}};
    for (std::size_t i = 0; i < 2; ++i) {
        const LRESULT position = SendMessageA(sliders[i], TBM_GETPOS, 0, 0);
        EXPECT_EQ(SendMessageA(sliders[i], TBM_GETRANGEMIN, 0, 0), ranges[i].first);
        EXPECT_EQ(SendMessageA(sliders[i], TBM_GETRANGEMAX, 0, 0), ranges[i].second);
        EXPECT_TRUE(position >= ranges[i].first && position <= ranges[i].second) << position;
        positions.push_back(position);
    }
    std::size_t boxes = 0;
    for (const HWND button : Children(window, "Button"))
        if ((GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
            ++boxes;
            const LRESULT state = SendMessageA(button, BM_GETCHECK, 0, 0);
            EXPECT_TRUE(state == BST_CHECKED || state == BST_UNCHECKED) << state;
        }
    EXPECT_EQ(boxes, 5u);
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(EndsWith(sheet, 0));
    return positions;
}

TEST(HostileSettings, EveryValueOfEveryWrongTypeStartsShowsClosesAndConfiguresInRange) {
    const RegistryKeySnapshot snapshot(kSettingsKey);
    for (const Hostile& hostile : kHostile) {
        SCOPED_TRACE(hostile.Name);
        std::vector<std::string> names(std::begin(kFlags), std::end(kFlags));
        names.insert(names.end(), {"PictureMillis", "EffectMillis"});
        for (const std::string& name : names)
            ASSERT_TRUE(SetValue(kSettingsKey, name, hostile.Type, hostile.Data.data(),
                                 static_cast<DWORD>(hostile.Data.size())));
        for (const char* effect : kEffects)
            ASSERT_TRUE(SetValue(kEffectsKey, effect, hostile.Type, hostile.Data.data(),
                                 static_cast<DWORD>(hostile.Data.size())));
        {
            FullScreenRun run;
            ASSERT_NE(run.Window, nullptr);
            EXPECT_TRUE(ShowsAPicture(run.Window, 15000));
            Quit(run);
        }
        CheckConfiguration(hostile.Name);
        // Nothing written back: the value is still the hostile one.
        BYTE data[16] = {};
        DWORD type = 0, size = sizeof data;
        EXPECT_EQ(
            SHGetValueA(HKEY_CURRENT_USER, kEffectsKey.c_str(), kEffects[3], &type, data, &size),
            0L);
        EXPECT_EQ(type, hostile.Type);
        EXPECT_EQ(std::vector<BYTE>(data, data + size), hostile.Data);
    }
}

// A key locked for one scope (Wine keeps registry permissions): its access list reduced to
// `allowed` for everyone (nothing at all for 0), then put back.
class LockedKey {
public:
    LockedKey(const std::string& path, DWORD allowed) {
        RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_);
        DWORD size = sizeof saved_;
        EXPECT_EQ(RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_, &size), 0L);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        alignas(8) BYTE acl[256] = {};
        InitializeAcl(reinterpret_cast<ACL*>(acl), sizeof acl, ACL_REVISION);
        if (allowed != 0) {
            EXPECT_TRUE(
                AddAccessAllowedAce(reinterpret_cast<ACL*>(acl), ACL_REVISION, allowed, everyone));
        }
        FreeSid(everyone);
        SECURITY_DESCRIPTOR locked;
        InitializeSecurityDescriptor(&locked, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&locked, TRUE, reinterpret_cast<ACL*>(acl), FALSE);
        EXPECT_EQ(RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &locked), 0L);
    }
    ~LockedKey() {
        EXPECT_EQ(RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_), 0L);
        RegCloseKey(key_);
    }
    LockedKey(const LockedKey&) = delete;
    LockedKey& operator=(const LockedKey&) = delete;

private:
    HKEY key_ = nullptr;
    alignas(8) BYTE saved_[1024] = {};
};

// Whether `path` opens with `access`.
bool Opens(const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The key and its subkey only readable, as an administrator may lock them: the stored values
// (3 s a picture, 1.5 s a transition) still count. Unreadable: the show runs on the defaults and
// the configuration shows them (2 s and 2 s).
TEST(HostileSettings, AReadOnlyKeyGivesItsValuesAnUnreadableOneTheDefaults) {
    const RegistryKeySnapshot snapshot(kSettingsKey);
    SetShow(3000, 1500, {"UseEffects"});
    const std::pair<DWORD, std::vector<LRESULT>> locks[] = {{KEY_READ, {3000, 1500}},
                                                            {0, {2000, 2000}}};
    for (const auto& [allowed, positions] : locks) {
        SCOPED_TRACE(allowed);
        const LockedKey effects(kEffectsKey, allowed), settings(kSettingsKey, allowed);
        ASSERT_EQ(Opens(kSettingsKey, KEY_READ), allowed != 0);
        ASSERT_FALSE(Opens(kSettingsKey, KEY_SET_VALUE));
        {
            FullScreenRun run;
            ASSERT_NE(run.Window, nullptr);
            EXPECT_TRUE(ShowsAPicture(run.Window, 15000));
            Quit(run);
        }
        EXPECT_EQ(CheckConfiguration("locked"), positions);
    }
    EXPECT_EQ(CheckConfiguration("readable again"), (std::vector<LRESULT>{3000, 1500}));
}

// Whether a visible top-level window of process `processId` exists now.
BOOL CALLBACK NoteWindowOf(HWND window, LPARAM search) {
    auto& [processId, seen] = *reinterpret_cast<std::pair<DWORD, bool>*>(search);
    DWORD owner = 0;
    if (GetWindowThreadProcessId(window, &owner) && owner == processId && IsWindowVisible(window))
        seen = true;
    return TRUE;
}
bool HasWindow(DWORD processId) {
    std::pair<DWORD, bool> search{processId, false};
    EnumWindows(&NoteWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// A representative part of the hostile command lines that the native table (CommandLineTest)
// checks in full against the same parsing code: each kind once in a real process, which must exit
// 1 without ever showing a window, or run its mode. The rest differ from these only in the
// portable parsing, which needs no process.
TEST(HostileCommandLines, RunNothingWithoutAWindowOrTheirMode) {
    const std::string longText(10000, 'x'), nines(10000, '9');
    TestWindow parent(40, 40, 200, 150, WS_OVERLAPPEDWINDOW);
    const std::string handle = HandleText(parent.Handle());
    const std::string nothing[] = {
        "/s " + longText, "/p " + nines, "/" + longText, "/p -1",
        "/c:-2147483648", "/\xE9",       "/s\t\xFF",     "/p\t:\t-0",
    };
    for (const std::string& arguments : nothing) {
        SCOPED_TRACE(arguments.substr(0, 24));
        Process saver(ScreenSaverPath(), arguments);
        bool window = false;
        EXPECT_TRUE(WaitUntil(
            [&] {
                window = window || HasWindow(saver.Id());
                return !saver.Running();
            },
            5000));
        EXPECT_EQ(saver.ExitCode(), 1u);
        EXPECT_FALSE(window);
    }
    {
        // Separators only, and a tab before the parent's handle: the configuration, the preview.
        Process sheet(ScreenSaverPath(), " \t \t" + std::string(5000, ' '));
        const HWND window = FindWindowOf(sheet.Id(), "#32770", "Properties");
        ASSERT_NE(window, nullptr);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(EndsWith(sheet, 0));
        Process preview(ScreenSaverPath(), "\t/P\t" + handle + std::string(5000, '\t'));
        EXPECT_NE(FindWindowOf(preview.Id(), "SlideshowScreenSaverClass", nullptr, parent.Handle()),
                  nullptr);
        parent.Destroy();
        EXPECT_TRUE(EndsWith(preview, 0));
    }
}

// Lanternmoor processes still running.
int RunningSavers() {
    int found = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (std::string(entry.szExeFile).find("Lanternmoor") != std::string::npos) ++found;
    CloseHandle(snapshot);
    return found;
}

// The preview started and closed by preview_host.exe, a host process of its own: each preview
// shown, ended within a second of its parent and with exit code 0 (the host checks and prints
// each), and none left running afterwards.
TEST(PreviewSoak, EveryPreviewEndsWithinASecondOfItsParentAndNoneStays) {
    const long starts = EnvironmentNumber("LM_PREVIEW_STARTS", 100);
    Process host(WindowsPath(LM_PREVIEW_HOST),
                 "\"" + ScreenSaverPath() + "\" " + std::to_string(starts));
    EXPECT_TRUE(EndsWith(host, 0, 20000 + 10000 * static_cast<DWORD>(starts)));
    EXPECT_EQ(RunningSavers(), 0);
}

} // namespace
