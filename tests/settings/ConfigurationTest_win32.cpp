// The configuration under Wine. End to end: Lanternmoor.scr runs with /c and without a switch; its
// sheet is found, read and driven with real input, closed with OK or Cancel, and the registry read
// back; the About box is opened from the page. In-process: links over the statics of the tests'
// own dialog, whose target is a stand-in browser that counts its starts.
#include "resources/ResourceIds.h"
#include "settings/WebLink_win32.h"
#include "tests/WholeFile.h"
#include "tests/win32/WineHarness.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

using namespace harness;

namespace {

const std::string kBrowserKey = "Software\\Microsoft\\Internet Explorer\\Settings";
const std::string kMarker = WindowsPath(LM_OPENED_MARKER);

// Every test leaves the settings and the browser's colours as it found them.
class Configuration : public ::testing::Test {
    RegistryKeySnapshot Settings{kSettingsKey}, Browser{kBrowserKey};
};

// The saved settings by name; -1 for anything but a 4-byte REG_DWORD.
PageState Saved() {
    PageState saved;
    for (const std::string& name : SettingNames()) {
        DWORD type = 0, value = 0, size = sizeof value;
        const LONG read = SHGetValueA(HKEY_CURRENT_USER, SettingKey(name).c_str(), name.c_str(),
                                      &type, &value, &size);
        saved[name] = read == 0 && type == REG_DWORD && size == 4 ? value : -1;
    }
    return saved;
}

// How many pixels of `window` show `color`, 0xRRGGBB.
int Pixels(HWND window, DWORD color) {
    const auto pixels = Capture(window).second;
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), color));
}

TEST_F(Configuration, SlashCIsOwnedByTheForegroundWindowAndEveryControlEditsItsSetting) {
    // Effects off; below the slideshow trackbar's range, between two ticks of the effects one.
    // Values that are no numbers: a string, two bytes.
    for (const auto& [name, value] :
         ParseValues("EnlargeToFit 1, RandomOrder 0, ShowText 0, EnableKeys 0, UseEffects 0, "
                     "PictureMillis 500, EffectMillis 2500, Horizontal lines 0, Vertical lines 1, "
                     "Big checkers 1, Small checkers 0"))
        SetDword(SettingKey(name), name, static_cast<DWORD>(value));
    SetValue(kSettingsKey, "RandomOrder", REG_SZ, "abc", 4);
    SetValue(kSettingsKey, "ShowText", REG_DWORD, "\0", 2);
    TestWindow owner(40, 40, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetForegroundWindow(owner.Handle());
    SheetRun run("/c");
    ASSERT_NE(run.Page, nullptr);
    EXPECT_EQ(GetWindow(run.Sheet, GW_OWNER), owner.Handle());
    EXPECT_TRUE(run.Shows(DefaultPage("EnlargeToFit 1, UseEffects 0, EffectMillis 2500, "
                                      "Horizontal lines 0, Small checkers 0, "
                                      "effect list enabled 0")));
    // Ranges and ticks (the ends are ticks too), the list's styles and its column's width.
    NamedValues controls;
    for (const auto& [name, id] : {std::pair<std::string, int>{"picture speed", IDC_PICTURE_SPEED},
                                   {"effect speed", IDC_EFFECT_SPEED}}) {
        controls[name + " from"] = run.Send(id, TBM_GETRANGEMIN);
        controls[name + " to"] = run.Send(id, TBM_GETRANGEMAX);
        controls[name + " ticks"] = run.Send(id, TBM_GETNUMTICS);
    }
    const auto list = Bounds(run.Item(IDC_EFFECT_LIST));
    controls["list with check boxes; full rows"] =
        run.Send(IDC_EFFECT_LIST, LVM_GETEXTENDEDLISTVIEWSTYLE) ==
        (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    controls["list width less column"] = list[2] - list[0] -
                                         run.Send(IDC_EFFECT_LIST, LVM_GETCOLUMNWIDTH) -
                                         GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(controls, ParseValues("picture speed from 2000, picture speed to 10000, "
                                    "picture speed ticks 9, effect speed from 1000, "
                                    "effect speed to 5000, effect speed ticks 17, "
                                    "list with check boxes; full rows 1, "
                                    "list width less column 4"));
    // Every check box, each click waited for; from "Use transition effects" the tab order leads on
    // to the list, where the space bar toggles every effect; the effects off again grey out only
    // the list, whose check marks are saved.
    for (const int id :
         {IDC_ENLARGE_TO_FIT, IDC_RANDOM_ORDER, IDC_SHOW_TEXT, IDC_ENABLE_KEYS, IDC_USE_EFFECTS}) {
        const LRESULT before = run.Send(id, BM_GETCHECK);
        EXPECT_TRUE(Click(run.Item(id), [&] { return run.Send(id, BM_GETCHECK) != before; }))
            << "check box " << id;
    }
    for (const WORD key :
         {VK_TAB, VK_HOME, VK_SPACE, VK_DOWN, VK_SPACE, VK_DOWN, VK_SPACE, VK_DOWN, VK_SPACE})
        SendKeys({key});
    const std::string edited = "RandomOrder 1, ShowText 0, EnableKeys 1, EffectMillis 2500, "
                               "Vertical lines 0, Big checkers 0";
    EXPECT_TRUE(run.Shows(DefaultPage(edited)));
    EXPECT_TRUE(Click(run.Item(IDC_USE_EFFECTS),
                      [&] { return run.Send(IDC_USE_EFFECTS, BM_GETCHECK) == BST_UNCHECKED; }));
    EXPECT_TRUE(run.Shows(DefaultPage(edited + ", UseEffects 0, effect list enabled 0")));
    run.Press(PSBTN_OK);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
    // Saved as the page showed them.
    PageState saved = DefaultPage(edited + ", UseEffects 0");
    saved.erase("effect list enabled");
    saved.erase("effect speed enabled");
    EXPECT_EQ(Saved(), saved);
}

TEST_F(Configuration, WithoutSwitchTheAboutBoxIsCentredOverTheSheetAndCancelSavesNothing) {
    // Separators only, more than a fixed buffer would hold.
    SheetRun run(" \t \t" + std::string(5000, ' '));
    ASSERT_NE(run.Page, nullptr);
    EXPECT_EQ(GetWindow(run.Sheet, GW_OWNER), nullptr);
    EXPECT_TRUE(run.Shows(DefaultPage()));
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    // The sheet inside the work area, past its top left corner, past its bottom right one; the
    // browser's link colour set (11 characters), rejected, too long (12 characters).
    const struct {
        const char* Color;
        POINT At;
        DWORD Shown;
    } cases[] = {{"000,128,255", {300, 150}, 0x0080FF},
                 {"255,0", {-60, -300}, 0x0000FF},
                 {"000,128,0255", {work.right - 100, work.bottom - 100}, 0x0000FF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Color);
        SetString(kBrowserKey, "Anchor Color", c.Color);
        SetWindowPos(run.Sheet, nullptr, c.At.x, c.At.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PostMessageA(run.Item(IDC_ABOUT), BM_CLICK, 0, 0); // the button may be off the screen
        const HWND about = FindWindowOf(run.Saver.Id(), "#32770", "About screensaver");
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(GetWindow(about, GW_OWNER), run.Sheet);
        EXPECT_FALSE(IsWindowEnabled(run.Sheet));
        const auto sheet = Bounds(run.Sheet), box = Bounds(about);
        const LONG width = box[2] - box[0], height = box[3] - box[1];
        const std::array<LONG, 2> expected[] = {
            {(sheet[0] + sheet[2]) / 2 - width / 2, (sheet[1] + sheet[3]) / 2 - height / 2},
            {work.left, work.top},
            {work.right - width, work.bottom - height}};
        EXPECT_EQ((std::array<LONG, 2>{box[0], box[1]}), expected[&c - cases]);
        const HWND link = GetDlgItem(about, IDC_WEB_LINK);
        EXPECT_EQ(Text(link), "Visit our website");
        EXPECT_TRUE(WaitUntil([&] { return Pixels(link, c.Shown) > 20; }, 3000));
        if (&c == cases) {
            const std::string credits = Text(GetDlgItem(about, IDC_CREDITS));
            for (const char* part :
                 {"Aitzol Berasategi", "Freespace", "Jakub Mede", "Engelhardt", "Bolly",
                  "Klootwijk", "Nerlich", "Baubkus", "Ian Hex", "Saukonp\xE4\xE4", "CC BY 4.0",
                  "CC BY-SA 4.0", "CC BY-SA 3.0", "CC0", "GPL", "\r\n"})
                EXPECT_NE(credits.find(part), std::string::npos) << part;
            const auto [width, pixels] = Capture(about);
            SaveScreenshot(pixels, width, "about-box.ppm");
            // From the OK button onto the link: a moment later the tooltip (the link's hand
            // pointer is checked in-process below).
            const auto ok = Bounds(GetDlgItem(about, IDOK)), text = Bounds(link);
            SetCursorPos(ok[0] + 5, ok[1] + 5);
            Pump(300);
            SetCursorPos(text[0] + 4, text[1] + 4);
            EXPECT_EQ(Text(FindWindowOf(run.Saver.Id(), TOOLTIPS_CLASSA, nullptr)),
                      "Visit our website");
            SendKeys({VK_ESCAPE});
        } else if (&c == cases + 1) {
            PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); // the close box
        } else {
            SendKeys({VK_RETURN}); // the default button, OK, which has the focus
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 3000));
        EXPECT_TRUE(IsWindowEnabled(run.Sheet));
    }
    SetWindowPos(run.Sheet, nullptr, 300, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump(500); // for the picture: the sheet is drawn a little after it moves
    const auto [width, pixels] = Capture(run.Sheet);
    SaveScreenshot(pixels, width, "configuration-sheet.ppm");
    run.Press(PSBTN_CANCEL);
    EXPECT_TRUE(EndsWith(run.Saver, 0));
    EXPECT_FALSE(KeyExists(kSettingsKey));
}

// How often the OK button of the link dialog was pressed.
int okPressed = 0;
INT_PTR CALLBACK LinkDialogProcedure(HWND, UINT message, WPARAM wParam, LPARAM) {
    okPressed += message == WM_COMMAND && LOWORD(wParam) == IDOK;
    return FALSE;
}

// How often the stand-in browser has started: it writes a line each time.
int Openings() {
    const std::string log = WholeFile(kMarker + ".log");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

// The dialog of the tests' own resources, run modelessly through the dialog manager.
TEST_F(Configuration,
       TheLinkPointsOpensOnAPressAndReleaseOnItsTextOrOnSpaceOrEnterThenShowsVisited) {
    DeleteFileA((kMarker + ".log").c_str());
    const HWND dialog =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(1), nullptr, &LinkDialogProcedure, 0);
    SetForegroundWindow(dialog);
    const auto run = [dialog](
                         const std::function<bool()>& done = [] { return false; },
                         DWORD milliseconds = 300) {
        return WaitUntil(done, milliseconds, dialog);
    };
    // The visited colour as a binary value without a terminator.
    SetValue(kBrowserKey, "Anchor Color Visited", REG_BINARY, "10,20,30", 8);
    // One link on a static of the template, one on a static of its own (SS_NOPREFIX beside
    // SS_CENTER changes neither the static's type nor its alignment).
    // Each link holds its font and its hand pointer, counted, for as long as it lives.
    const auto live = [] {
        return std::array<long, 3>{LiveHandles(HandleKind::Font), LiveHandles(HandleKind::Cursor),
                                   LiveHandles(HandleKind::Dc)};
    };
    const std::array<long, 3> before = live();
    auto links = std::make_unique<std::array<WebLink, 2>>();
    WebLink &mouse = (*links)[0], &keys = (*links)[1];
    ASSERT_TRUE(mouse.Attach(GetDlgItem(dialog, 100)) &&
                keys.Create(dialog, "Centred", SS_CENTER | SS_NOPREFIX, {15, 60, 195, 75}, 102));
    EXPECT_FALSE(mouse.Attach(GetDlgItem(dialog, 101)));
    EXPECT_EQ(live(), (std::array<long, 3>{before[0] + 2, before[1] + 2, before[2]}));
    mouse.SetLinkTarget(kMarker.c_str());
    keys.SetLinkTarget(kMarker.c_str());
    // The text's area at the top, left or centred; the statics now get the mouse; the parent's
    // font underlined. A 32 x 32 monochrome pointer with its hot spot at the finger tip.
    const RECT text = mouse.GetLinkRect(), centre = keys.GetLinkRect();
    RECT client{}, wide{};
    GetClientRect(mouse.Handle(), &wide);
    GetClientRect(keys.Handle(), &client);
    LOGFONTA font{};
    GetObjectA(mouse.GetLinkFont(), sizeof font, &font);
    ICONINFO hand{};
    BITMAP mask{};
    ASSERT_TRUE(GetIconInfo(mouse.GetHandCursor(), &hand));
    GetObjectA(hand.hbmMask, sizeof mask, &mask);
    DeleteObject(hand.hbmMask);
    EXPECT_EQ(
        (std::array<LONG, 12>{text.left, text.top, (text.right < wide.right / 2), (centre.left > 0),
                              centre.left, GetWindowLongA(mouse.Handle(), GWL_STYLE) & SS_NOTIFY,
                              font.lfUnderline, static_cast<LONG>(hand.xHotspot),
                              static_cast<LONG>(hand.yHotspot), hand.hbmColor != nullptr,
                              mask.bmWidth, mask.bmHeight}),
        (std::array<LONG, 12>{0, 0, true, true, (client.right - (centre.right - centre.left)) / 2,
                              SS_NOTIFY, TRUE, 5, 0, false, 32, 64}));

    const auto pointAt = [&](LONG x) {
        POINT point{x, (text.top + text.bottom) / 2};
        ClientToScreen(mouse.Handle(), &point);
        SetCursorPos(point.x, point.y);
        run();
    };
    // The hand over the text, kept when the system asks again; not beside it.
    pointAt(text.left + 3);
    EXPECT_EQ(GetCursor(), mouse.GetHandCursor());
    SetCursor(nullptr);
    SendMessageA(mouse.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(mouse.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), mouse.GetHandCursor());
    pointAt(text.right + 10);
    EXPECT_NE(GetCursor(), mouse.GetHandCursor());
    // Pressed on the text and released off the control, or pressed beside the text and released
    // on it: nothing opens. Pressed and released on it: it opens, and shows the visited colour.
    for (const auto& [press, release] : {std::pair<LONG, LONG>{text.left + 3, text.right + 400},
                                         {text.right + 10, text.left + 3},
                                         {text.left + 3, text.left + 5}}) {
        EXPECT_FALSE(mouse.IsVisited());
        pointAt(press);
        SendMouse({MOUSEEVENTF_LEFTDOWN});
        pointAt(release);
        SendMouse({MOUSEEVENTF_LEFTUP});
        run();
        EXPECT_EQ(GetCapture(), nullptr);
    }
    EXPECT_EQ(GetFocus(), mouse.Handle());
    EXPECT_TRUE(run([] { return Openings() == 1; }, 10000));
    EXPECT_TRUE(mouse.IsVisited());
    EXPECT_GT(Pixels(mouse.Handle(), 0x0A141E), 20);

    // The focused link, with its focus rectangle, through the dialog manager: other characters
    // do nothing, Space opens it, so does Enter (instead of pressing the default button).
    const auto unfocused = Capture(keys.Handle());
    SetFocus(keys.Handle());
    for (const WORD key : {WORD{'A'}, WORD{VK_SPACE}, WORD{VK_RETURN}}) {
        SendKeys({key});
        run();
        EXPECT_EQ(keys.IsVisited(), key != 'A');
        EXPECT_NE(Capture(keys.Handle()), unfocused);
    }
    EXPECT_TRUE(run([] { return Openings() == 3; }, 10000));
    run([] { return false; }, 1000);
    EXPECT_EQ((std::array<int, 2>{Openings(), okPressed}), (std::array<int, 2>{3, 0}));
    EXPECT_EQ(live()[2], before[2]) << "a device context kept by painting";
    DestroyWindow(dialog);
    links.reset();
    EXPECT_EQ(live(), before);
}

} // namespace
