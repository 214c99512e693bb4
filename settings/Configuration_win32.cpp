#include "settings/Configuration_win32.h"

#include "base/Dialog_win32.h"
#include "resources/ResourceIds.h"
#include "settings/AboutBox_win32.h"
#include "settings/RegistrySettingsStore_win32.h"
#include "settings/ScreenSaverSettings.h"

#include <commctrl.h>

#include <cstdint>

namespace {

constexpr int kUnchecked = 1;
constexpr int kChecked = 2;

// The page of the sheet: the controls of template IDD_SETUP_PAGE, exchanged with one record.
class SetupPage : public Dialog {
public:
    SetupPage(ScreenSaverSettings& settings, HINSTANCE instance)
        : Settings(settings), Instance(instance), EnlargeToFit(settings.EnlargeToFit),
          RandomOrder(settings.RandomOrder), ShowText(settings.ShowText),
          EnableKeys(settings.EnableKeys), UseEffects(settings.UseEffects),
          PictureMillis(settings.PictureMillis), EffectMillis(settings.EffectMillis) {}

    HPROPSHEETPAGE Create() { return CreatePage(Instance, IDD_SETUP_PAGE); }

private:
    INT_PTR ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_INITDIALOG:
            Initialise();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_USE_EFFECTS)
                EnableWindow(Item(IDC_EFFECT_LIST), IsChecked(IDC_USE_EFFECTS));
            else if (LOWORD(wParam) == IDC_ABOUT)
                ShowAboutBox(Instance, GetActiveWindow());
            else
                return FALSE;
            return TRUE;
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->code != PSN_KILLACTIVE) return FALSE;
            TakeShownSettings();
            SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, FALSE); // the page may be left
            return TRUE;
        default:
            return FALSE;
        }
    }

    HWND Item(int id) const { return GetDlgItem(Handle(), id); }
    LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
        return SendDlgItemMessageA(Handle(), id, message, wParam, lParam);
    }
    bool IsChecked(int id) const { return Send(id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetCheck(int id, std::int32_t value) const {
        Send(id, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    // Tick frequency and range before the position, which the default range would cut.
    void SetUpTrackbar(int id, int tickEvery, int minimum, int maximum, std::int32_t position) {
        Send(id, TBM_SETTICFREQ, tickEvery, 0);
        Send(id, TBM_SETRANGE, FALSE, MAKELPARAM(minimum, maximum));
        Send(id, TBM_SETPOS, TRUE, position);
    }

    void Initialise() {
        SetCheck(IDC_ENLARGE_TO_FIT, EnlargeToFit);
        SetCheck(IDC_RANDOM_ORDER, RandomOrder);
        SetCheck(IDC_SHOW_TEXT, ShowText);
        SetCheck(IDC_ENABLE_KEYS, EnableKeys);
        SetCheck(IDC_USE_EFFECTS, UseEffects);
        SetUpTrackbar(IDC_PICTURE_SPEED, 1000, 2000, 10000, PictureMillis);
        SetUpTrackbar(IDC_EFFECT_SPEED, 250, 1000, 5000, EffectMillis);

        Send(IDC_EFFECT_LIST, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
             LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        char heading[] = "Transition effects";
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        column.fmt = LVCFMT_LEFT;
        column.pszText = heading;
        column.cx = static_cast<int>(Send(IDC_EFFECT_LIST, LVM_GETSTRINGWIDTHA, 0,
                                          reinterpret_cast<LPARAM>(heading))) +
                    15;
        Send(IDC_EFFECT_LIST, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        // The column fills the list, beside room for a vertical scroll bar.
        RECT list{};
        GetWindowRect(Item(IDC_EFFECT_LIST), &list);
        Send(IDC_EFFECT_LIST, LVM_SETCOLUMNWIDTH, 0,
             MAKELPARAM(list.right - list.left - GetSystemMetrics(SM_CXVSCROLL) - 4, 0));

        // In the list's order, which is not the registry's.
        for (int index = 0; index < kEffectCount; ++index) {
            const char* name = ListedEffect(index).Name;
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = index;
            item.pszText = const_cast<char*>(name);
            Send(IDC_EFFECT_LIST, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            item.mask = LVIF_STATE;
            item.stateMask = LVIS_STATEIMAGEMASK;
            item.state =
                INDEXTOSTATEIMAGEMASK(Settings.IsEffectEnabled(name) ? kChecked : kUnchecked);
            Send(IDC_EFFECT_LIST, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        EnableWindow(Item(IDC_EFFECT_LIST), UseEffects != 0);
    }

    // The page is left (the sheet is closing with OK): everything shown goes into the record. A
    // disabled list keeps its check marks, and they are taken too.
    void TakeShownSettings() {
        EnlargeToFit = IsChecked(IDC_ENLARGE_TO_FIT);
        RandomOrder = IsChecked(IDC_RANDOM_ORDER);
        ShowText = IsChecked(IDC_SHOW_TEXT);
        EnableKeys = IsChecked(IDC_ENABLE_KEYS);
        UseEffects = IsChecked(IDC_USE_EFFECTS);
        PictureMillis = static_cast<std::int32_t>(Send(IDC_PICTURE_SPEED, TBM_GETPOS, 0, 0));
        EffectMillis = static_cast<std::int32_t>(Send(IDC_EFFECT_SPEED, TBM_GETPOS, 0, 0));

        Settings.EnlargeToFit = EnlargeToFit != 0;
        Settings.RandomOrder = RandomOrder != 0;
        Settings.ShowText = ShowText != 0;
        Settings.UseEffects = UseEffects != 0;
        Settings.EnableKeys = EnableKeys != 0;
        Settings.PictureMillis = PictureMillis;
        Settings.EffectMillis = EffectMillis;
        for (int index = 0; index < kEffectCount; ++index) {
            const auto state = Send(IDC_EFFECT_LIST, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
            Settings.TransitionEffects[ListedEffect(index).Name] =
                (state & LVIS_STATEIMAGEMASK) >> 12 != kUnchecked;
        }
    }

    ScreenSaverSettings& Settings;
    HINSTANCE Instance;
    // What the controls show, exchanged with the record when the page opens and when it closes.
    std::int32_t EnlargeToFit;
    std::int32_t RandomOrder;
    std::int32_t ShowText;
    std::int32_t EnableKeys;
    std::int32_t UseEffects;
    std::int32_t PictureMillis;
    std::int32_t EffectMillis;
};

} // namespace

int RunConfiguration(HINSTANCE instance, HWND owner) {
    // The list view's class as well: no version of the common controls must lack it.
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);

    RegistrySettingsStore store;
    ScreenSaverSettings settings(store);
    SetupPage page(settings, instance);
    HPROPSHEETPAGE pages[] = {page.Create()};
    if (pages[0] == nullptr) return 0;

    PROPSHEETHEADERA sheet{};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_DEFAULT; // modal, and the caption exactly as given
    sheet.hwndParent = owner;
    sheet.hInstance = instance;
    sheet.pszCaption = "Properties";
    sheet.nPages = 1;
    sheet.nStartPage = 0;
    sheet.phpage = pages;
    // The sheet destroys the page it was given, whatever the outcome. Only OK gives 1.
    if (PropertySheetA(&sheet) == 1) settings.SaveSettings(store);
    return 0;
}
