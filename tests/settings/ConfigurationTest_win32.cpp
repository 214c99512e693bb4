// The configuration under Wine. End to end: Lanternmoor.scr runs without a switch, with /c and with
// /c:HWND; its sheet is found, read and driven with real input, closed with OK or Cancel, and the
// registry read back; the About box is opened from the page. In-process: links over the statics
// of the tests' own dialog, whose target is a stand-in browser that counts its starts.
#include "settings/WebLink_win32.h"
#include "tests/win32/WineHarness.h"

#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace harness;

namespace {

const std::string kBrowserKey = "Software\\Microsoft\\Internet Explorer\\Settings";
const std::string kMarker = WindowsPath(LM_OPENED_MARKER);

// Every test leaves the settings and the browser's colours as it found them.
class Configuration : public ::testing::Test {
    RegistryKeySnapshot settings_{kSettingsKey};
    RegistryKeySnapshot browser_{kBrowserKey};
};

// Asked for with WM_GETTEXT: across processes GetWindowText reads the creation-time caption.
std::string Text(HWND window) {
    char text[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// A visible top-level window of process `processId`; null when none comes in time.
HWND WaitForWindow(DWORD processId, const char* className, const char* title) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            DWORD owner = 0;
            while ((found = FindWindowExA(nullptr, found, className, title)) != nullptr)
                if (GetWindowThreadProcessId(found, &owner) && owner == processId &&
                    IsWindowVisible(found))
                    return true;
            return false;
        },
        10000);
    return found;
}

// Clicks a control in its middle.
void Click(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendClick(MOUSEEVENTF_LEFTDOWN);
}

void Mouse(DWORD flag) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof input);
}

// What the screen shows of `window`: its width, and its pixels (0x00RRGGBB) top row first.
std::pair<LONG, std::vector<DWORD>> Capture(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFOHEADER info{sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<std::size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return {width, pixels};
}

// How many pixels of `window` show `color`, and whether a row of `area` (window coordinates) shows
// it across nine tenths of its width, as an underline does.
std::pair<int, bool> Drawn(HWND window, COLORREF color, const RECT& area = {}) {
    const auto [width, pixels] = Capture(window);
    const DWORD wanted = GetRValue(color) << 16 | GetGValue(color) << 8 | GetBValue(color);
    bool line = false;
    for (LONG y = area.top; y < area.bottom; ++y) {
        const auto row = pixels.begin() + y * width;
        line = line || std::count(row + area.left, row + area.right, wanted) * 10 >=
                           (area.right - area.left) * 9;
    }
    return {static_cast<int>(std::count(pixels.begin(), pixels.end(), wanted)), line};
}

// What the screen shows of `window`, saved as a BMP in the build tree for people to look at.
void SaveScreenshot(HWND window, const std::string& name) {
    auto [width, pixels] = Capture(window);
    for (DWORD& pixel : pixels)
        pixel |= 0xFF000000; // opaque, for viewers that take the fourth byte for alpha
    const DWORD size = static_cast<DWORD>(pixels.size() * sizeof(DWORD));
    const LONG height = static_cast<LONG>(pixels.size()) / width;
    const BITMAPINFOHEADER info{sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info;
    const BITMAPFILEHEADER file{0x4D42, offset + size, 0, 0, offset};
    CreateDirectoryA(WindowsPath(LM_SCREENSHOT_DIR).c_str(), nullptr);
    std::ofstream out(WindowsPath(LM_SCREENSHOT_DIR "/" + name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(pixels.data()), size);
}

// One run of the configuration, its sheet and page found.
struct SheetRun {
    explicit SheetRun(const std::string& arguments) : Saver(ScreenSaverPath(), arguments) {
        Sheet = WaitForWindow(Saver.Id(), "#32770", "Properties");
        Page = reinterpret_cast<HWND>(SendMessageA(Sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        WaitUntil([this] { return GetForegroundWindow() == Sheet; }, 3000);
    }
    HWND Item(int id) const { return GetDlgItem(Page, id); }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(Item(id), message, wParam, lParam);
    }
    // Check boxes 1005, 1006, 1007, 1009, 1001; trackbars 1003, 1008; the state images of the
    // four effects in list order (2 checked, 1 not); list 1010 and trackbar 1008 enabled.
    std::vector<LRESULT> Shown() const {
        std::vector<LRESULT> shown;
        for (const int id : {1005, 1006, 1007, 1009, 1001})
            shown.push_back(Send(id, BM_GETCHECK));
        for (const int id : {1003, 1008})
            shown.push_back(Send(id, TBM_GETPOS));
        for (int index = 0; index < 4; ++index)
            shown.push_back(Send(1010, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK) >> 12);
        shown.push_back(IsWindowEnabled(Item(1010)));
        shown.push_back(IsWindowEnabled(Item(1008)));
        return shown;
    }
    // The page follows real input a moment later.
    ::testing::AssertionResult Shows(const std::vector<LRESULT>& expected) const {
        if (WaitUntil([&] { return Shown() == expected; }, 3000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "shows " << ::testing::PrintToString(Shown());
    }
    // Posted, as a click comes: the sheet's loop notices its end only on a message.
    ::testing::AssertionResult Close(int button) {
        PostMessageA(Sheet, PSM_PRESSBUTTON, button, 0);
        return EndsWith(Saver, 0);
    }

    Process Saver;
    HWND Sheet = nullptr;
    HWND Page = nullptr;
};

using Saved = std::map<std::string, long long>;

// The values of the key and of its "Transition Effects" subkey; -1 for anything but a 4-byte
// REG_DWORD.
Saved SavedSettings() {
    Saved saved;
    for (const std::string& path : {kSettingsKey, kSettingsKey + "\\Transition Effects"})
        for (const auto& [name, value] : Values(path))
            saved[name] = value.Type == REG_DWORD && value.Data.size() == 4
                              ? *reinterpret_cast<const DWORD*>(value.Data.data())
                              : -1;
    return saved;
}

// Flags EnlargeToFit, RandomOrder, ShowText, EnableKeys, UseEffects; effects Horizontal lines,
// Vertical lines, Big checkers, Small checkers.
Saved Settings(std::array<int, 5> flags, int picture, int effect, std::array<int, 4> effects) {
    return {{"EnlargeToFit", flags[0]},     {"RandomOrder", flags[1]},
            {"ShowText", flags[2]},         {"EnableKeys", flags[3]},
            {"UseEffects", flags[4]},       {"PictureMillis", picture},
            {"EffectMillis", effect},       {"Horizontal lines", effects[0]},
            {"Vertical lines", effects[1]}, {"Big checkers", effects[2]},
            {"Small checkers", effects[3]}};
}

// The folder of the common controls library a process has loaded, in lower case.
std::string CommonControlsPath(DWORD processId) {
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    HMODULE modules[512];
    DWORD size = 0;
    EnumProcessModules(process, modules, sizeof modules, &size);
    char path[MAX_PATH] = {};
    for (DWORD index = 0; index < size / sizeof(HMODULE); ++index)
        if (GetModuleFileNameExA(process, modules[index], path, MAX_PATH) &&
            lstrcmpiA(std::strrchr(path, '\\') + 1, "comctl32.dll") == 0)
            break;
    CloseHandle(process);
    return CharLowerA(path);
}

TEST_F(Configuration, WithoutSwitchTheSheetShowsTheDefaultsAndOkSavesAllElevenValues) {
    SheetRun run("");
    ASSERT_NE(run.Page, nullptr);
    EXPECT_EQ(GetWindow(run.Sheet, GW_OWNER), nullptr);
    // The manifest's choice: version 6, from the side-by-side store.
    EXPECT_NE(CommonControlsPath(run.Saver.Id()).find("common-controls_6595b64144ccf1df_6."),
              std::string::npos);
    EXPECT_TRUE(run.Shows({0, 0, 1, 0, 1, 2000, 2000, 2, 2, 2, 2, 1, 1}));
    // Ranges and ticks (the ends are ticks too), the list's styles and its column's width.
    std::vector<LRESULT> controls;
    for (const int id : {1003, 1008})
        for (const UINT message : {TBM_GETRANGEMIN, TBM_GETRANGEMAX, TBM_GETNUMTICS})
            controls.push_back(run.Send(id, message));
    RECT list{};
    GetWindowRect(run.Item(1010), &list);
    controls.push_back(run.Send(1010, LVM_GETEXTENDEDLISTVIEWSTYLE));
    controls.push_back(run.Send(1010, LVM_GETCOLUMNWIDTH) + GetSystemMetrics(SM_CXVSCROLL) + 4);
    EXPECT_EQ(controls, (std::vector<LRESULT>{2000, 10000, 9, 1000, 5000, 17,
                                              LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                                              list.right - list.left}));
    SaveScreenshot(run.Sheet, "configuration-sheet.bmp");

    EXPECT_TRUE(run.Close(PSBTN_OK));
    EXPECT_EQ(SavedSettings(), Settings({0, 0, 1, 0, 1}, 2000, 2000, {1, 1, 1, 1}));
}

TEST_F(Configuration, SlashCIsOwnedByTheForegroundWindowAndUncheckingEffectsGreysOnlyTheList) {
    // Below the slideshow trackbar's range, and between two ticks of the effects one.
    for (const auto& [name, value] : Settings({1, 0, 7, 0, 1}, 500, 2500, {0, 1, 1, 0}))
        SetDword(kSettingsKey + (name.find(' ') != std::string::npos ? "\\Transition Effects" : ""),
                 name, static_cast<DWORD>(value));
    TestWindow owner(40, 40, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetForegroundWindow(owner.Handle());
    SheetRun run("/c");
    ASSERT_NE(run.Page, nullptr);
    EXPECT_EQ(GetWindow(run.Sheet, GW_OWNER), owner.Handle());
    EXPECT_TRUE(run.Shows({1, 0, 1, 0, 1, 2000, 2500, 2, 1, 2, 1, 1, 1}));
    Click(run.Item(1001));
    EXPECT_TRUE(run.Shows({1, 0, 1, 0, 0, 2000, 2500, 2, 1, 2, 1, 0, 1}));
    EXPECT_TRUE(run.Close(PSBTN_OK));
    EXPECT_EQ(SavedSettings(), Settings({1, 0, 1, 0, 0}, 2000, 2500, {0, 1, 1, 0}));
}

TEST_F(Configuration, SlashCWithAWindowIsOwnedByItAndEveryControlEditsItsSetting) {
    TestWindow owner(40, 40, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    TestWindow foreground(300, 40, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetForegroundWindow(foreground.Handle());
    SheetRun run("/c:" + HandleText(owner.Handle()));
    ASSERT_NE(run.Page, nullptr);
    EXPECT_EQ(GetWindow(run.Sheet, GW_OWNER), owner.Handle());
    for (const int id : {1005, 1006, 1007, 1009, 1003})
        Click(run.Item(id));
    SendKeys({VK_END});
    // 1001 off and on again; the tab order leads on to the list, where the space bar unchecks
    // every effect, and to the effects trackbar.
    Click(run.Item(1001));
    Click(run.Item(1001));
    for (const WORD key : {VK_TAB, VK_HOME, VK_SPACE, VK_DOWN, VK_SPACE, VK_DOWN, VK_SPACE, VK_DOWN,
                           VK_SPACE, VK_TAB, VK_HOME})
        SendKeys({key});
    EXPECT_TRUE(run.Shows({1, 1, 0, 1, 1, 10000, 1000, 1, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(run.Close(PSBTN_OK));
    EXPECT_EQ(SavedSettings(), Settings({1, 1, 0, 1, 1}, 10000, 1000, {0, 0, 0, 0}));
}

TEST_F(Configuration, CancelWritesNothing) {
    SheetRun run(" -C ");
    ASSERT_NE(run.Page, nullptr);
    Click(run.Item(1005));
    EXPECT_TRUE(run.Shows({1, 0, 1, 0, 1, 2000, 2000, 2, 2, 2, 2, 1, 1}));
    EXPECT_TRUE(run.Close(PSBTN_CANCEL));
    EXPECT_FALSE(KeyExists(kSettingsKey));
}

TEST_F(Configuration, TheAboutBoxIsCentredOverTheSheetWithCreditsAndALinkInTheBrowsersColour) {
    SheetRun run("   ");
    ASSERT_NE(run.Page, nullptr);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    // The sheet inside the work area, past its top left corner, past its bottom right one; the
    // browser's link colour set (11 characters), rejected, too long (12 characters).
    const char* const colors[] = {"000,128,255", "255,0", "000,128,0255"};
    const POINT at[] = {{300, 150}, {-60, -300}, {work.right - 100, work.bottom - 100}};
    for (const int where : {0, 1, 2}) {
        SCOPED_TRACE(std::string("link colour ") + colors[where]);
        SetString(kBrowserKey, "Anchor Color", colors[where]);
        SetWindowPos(run.Sheet, nullptr, at[where].x, at[where].y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (where == 0)
            Click(run.Item(1012));
        else
            PostMessageA(run.Item(1012), BM_CLICK, 0, 0); // off the screen
        const HWND about = WaitForWindow(run.Saver.Id(), "#32770", "About screensaver");
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(GetWindow(about, GW_OWNER), run.Sheet);
        EXPECT_FALSE(IsWindowEnabled(run.Sheet));
        RECT sheet{};
        RECT box{};
        GetWindowRect(run.Sheet, &sheet);
        GetWindowRect(about, &box);
        const LONG width = box.right - box.left;
        const LONG height = box.bottom - box.top;
        const std::array<LONG, 2> expected[] = {{(sheet.left + sheet.right) / 2 - width / 2,
                                                 (sheet.top + sheet.bottom) / 2 - height / 2},
                                                {work.left, work.top},
                                                {work.right - width, work.bottom - height}};
        EXPECT_EQ((std::array<LONG, 2>{box.left, box.top}), expected[where]);

        const HWND link = GetDlgItem(about, 1018);
        EXPECT_EQ(Text(link), "Visit our website");
        const COLORREF color = where == 0 ? RGB(0, 128, 255) : RGB(0, 0, 255);
        EXPECT_TRUE(WaitUntil([&] { return Drawn(link, color).first > 20; }, 3000));
        if (where == 0) {
            const std::string credits = Text(GetDlgItem(about, 1017));
            for (const char* part :
                 {"Aitzol Berasategi", "Freespace", "Jakub Mede", "Engelhardt", "Bolly",
                  "Klootwijk", "Nerlich", "Baubkus", "Ian Hex", "Saukonp\xE4\xE4", "CC BY 4.0",
                  "CC BY-SA 4.0", "CC BY-SA 3.0", "CC0", "GPL", "\r\n"})
                EXPECT_NE(credits.find(part), std::string::npos) << part;
            SaveScreenshot(about, "about-box.bmp");
            // From the OK button onto the link: the hand, and a moment later the tooltip.
            RECT ok{};
            GetWindowRect(GetDlgItem(about, IDOK), &ok);
            SetCursorPos(ok.left + 5, ok.top + 5);
            Pump(300);
            CURSORINFO arrow{};
            arrow.cbSize = sizeof arrow;
            GetCursorInfo(&arrow);
            RECT text{};
            GetWindowRect(link, &text);
            SetCursorPos(text.left + 4, text.top + 4);
            EXPECT_EQ(Text(WaitForWindow(run.Saver.Id(), TOOLTIPS_CLASSA, nullptr)),
                      "Visit our website");
            CURSORINFO hand = arrow;
            GetCursorInfo(&hand);
            EXPECT_NE(hand.hCursor, arrow.hCursor);
            SendKeys({VK_ESCAPE});
        } else if (where == 1) {
            PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); // the close box
        } else {
            SendKeys({VK_RETURN}); // the default button, OK, which has the focus
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 3000));
        EXPECT_TRUE(IsWindowEnabled(run.Sheet));
    }
    EXPECT_TRUE(run.Close(PSBTN_CANCEL));
}

// The dialog of the tests' own resources, run modelessly through the dialog manager.
class LinkDialog : public Configuration {
protected:
    LinkDialog() {
        DeleteFileA((kMarker + ".log").c_str());
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), nullptr,
                                     &Procedure, 0);
        SetForegroundWindow(dialog_);
    }
    ~LinkDialog() override { DestroyWindow(dialog_); }

    // Pumps as a modal loop does (keys go through the dialog manager) until `done` holds.
    bool Run(const std::function<bool()>& done, DWORD milliseconds = 300) {
        const DWORD start = GetTickCount();
        for (MSG message; !done() && GetTickCount() - start < milliseconds;) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                if (!IsDialogMessageA(dialog_, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return done();
    }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }

    static INT_PTR CALLBACK Procedure(HWND, UINT message, WPARAM wParam, LPARAM) {
        okPressed_ += message == WM_COMMAND && LOWORD(wParam) == IDOK;
        return FALSE;
    }
    // How often the stand-in browser has started.
    static int Openings() {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const bool exists =
            GetFileAttributesExA((kMarker + ".log").c_str(), GetFileExInfoStandard, &data);
        return exists ? static_cast<int>(data.nFileSizeLow / 7) : 0;
    }

    HWND dialog_ = nullptr;
    static inline int okPressed_ = 0;
};

TEST_F(LinkDialog, PointsOpensOnAPressAndReleaseOnItsTextOrOnSpaceOrEnterThenShowsVisited) {
    // The visited colour as a binary value without a terminator.
    SetValue(kBrowserKey, "Anchor Color Visited", REG_BINARY, "10,20,30", 8);
    // One link on a static of the template, one on a static of its own (SS_NOPREFIX beside
    // SS_CENTER changes neither the static's type nor its alignment).
    WebLink mouse, keys;
    ASSERT_TRUE(mouse.Attach(Item(100)) &&
                keys.Create(dialog_, "Centred", SS_CENTER | SS_NOPREFIX, {15, 60, 195, 75}, 102));
    EXPECT_FALSE(mouse.Attach(Item(101)));
    mouse.SetLinkTarget(kMarker.c_str());
    keys.SetLinkTarget(kMarker.c_str());
    // The text's area at the top, left or centred; the statics now get the mouse. A 32 x 32
    // monochrome pointer with its hot spot at the finger tip.
    const RECT text = mouse.LinkRect();
    const RECT centre = keys.LinkRect();
    RECT client{};
    GetClientRect(Item(100), &client);
    const bool narrow = text.right < client.right / 2;
    const bool inside = centre.left > 0;
    GetClientRect(keys.Handle(), &client);
    ICONINFO hand{};
    BITMAP mask{};
    ASSERT_TRUE(GetIconInfo(mouse.HandCursor(), &hand));
    GetObjectA(hand.hbmMask, sizeof mask, &mask);
    DeleteObject(hand.hbmMask);
    EXPECT_EQ(
        (std::array<LONG, 11>{text.left, text.top, narrow, inside, centre.left,
                              GetWindowLongA(mouse.Handle(), GWL_STYLE) & SS_NOTIFY,
                              static_cast<LONG>(hand.xHotspot), static_cast<LONG>(hand.yHotspot),
                              hand.hbmColor != nullptr, mask.bmWidth, mask.bmHeight}),
        (std::array<LONG, 11>{0, 0, true, true, (client.right - (centre.right - centre.left)) / 2,
                              SS_NOTIFY, 5, 0, false, 32, 64}));

    const auto pointAt = [&](LONG x) {
        POINT point{x, (text.top + text.bottom) / 2};
        ClientToScreen(mouse.Handle(), &point);
        SetCursorPos(point.x, point.y);
        Run([] { return false; });
    };
    // The hand over the text, kept when the system asks again; not beside it.
    pointAt(text.left + 3);
    EXPECT_EQ(GetCursor(), mouse.HandCursor());
    SetCursor(nullptr);
    SendMessageA(mouse.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(mouse.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), mouse.HandCursor());
    pointAt(text.right + 10);
    EXPECT_NE(GetCursor(), mouse.HandCursor());
    // Pressed on the text and released off the control, or pressed beside the text and released
    // on it: nothing opens. Pressed and released on it: it opens.
    for (const auto& [press, release] : {std::pair<LONG, LONG>{text.left + 3, text.right + 400},
                                         {text.right + 10, text.left + 3},
                                         {text.left + 3, text.left + 5}}) {
        EXPECT_FALSE(mouse.Visited());
        pointAt(press);
        Mouse(MOUSEEVENTF_LEFTDOWN);
        pointAt(release);
        Mouse(MOUSEEVENTF_LEFTUP);
        Run([] { return false; });
        EXPECT_EQ(GetCapture(), nullptr);
    }
    EXPECT_EQ(GetFocus(), mouse.Handle());
    EXPECT_TRUE(mouse.Visited());
    EXPECT_TRUE(Run([] { return Openings() == 1; }, 10000));
    EXPECT_TRUE(Drawn(mouse.Handle(), RGB(10, 20, 30), text).second); // underlined

    // The focused link, with its focus rectangle, through the dialog manager: other characters
    // do nothing, Space opens it, so does Enter (instead of pressing the default button).
    const auto unfocused = Capture(keys.Handle());
    SetFocus(keys.Handle());
    for (const WORD key : {WORD{'A'}, WORD{VK_SPACE}, WORD{VK_RETURN}}) {
        SendKeys({key});
        Run([] { return false; });
        EXPECT_EQ(keys.Visited(), key != 'A');
        EXPECT_NE(Capture(keys.Handle()), unfocused);
    }
    EXPECT_TRUE(Run([] { return Openings() == 3; }, 10000));
    Run([] { return false; }, 1000);
    EXPECT_EQ((std::array<int, 2>{Openings(), okPressed_}), (std::array<int, 2>{3, 0}));
    SetFocus(Item(IDOK));
    SendKeys({VK_RETURN});
    EXPECT_TRUE(Run([] { return okPressed_ == 1; }));
}

} // namespace
