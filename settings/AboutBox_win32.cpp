#include "settings/AboutBox_win32.h"

#include "resources/ResourceIds.h"
#include "settings/Placement.h"
#include "settings/WebLink_win32.h"

#include "Version.h"

namespace {

// Several lines, as the multi-line field shows them. The photographs' details (sources, changes)
// are in CREDITS.md, which ships with the screen saver.
const char kCredits[] = "Lanternmoor " LM_VERSION_TEXT "\r\n"
                        "A photo-slideshow screen saver by Quillfern\r\n"
                        "\r\n"
                        "Photographs, cropped and resized, each under its own licence:\r\n"
                        "Aitzol Berasategi (CC BY 4.0)\r\n"
                        "Trevor \"Freespace\" (CC BY 4.0)\r\n"
                        "Jakub Mede (CC BY 4.0)\r\n"
                        "Clemens Engelhardt (CC0 1.0)\r\n"
                        "\"Bolly\" (CC BY-SA 4.0)\r\n"
                        "Sander Klootwijk (CC BY-SA 4.0)\r\n"
                        "Peter Nerlich (CC BY-SA 4.0)\r\n"
                        "Lukas Baubkus (CC BY-SA 3.0)\r\n"
                        "Ian Hex and Risto Saukonp\xE4\xE4, KDE Visual Design Group\r\n"
                        "(GPL 2 or later; LGPL 3)\r\n"
                        "\r\n"
                        "Sources and changes: CREDITS.md";

// Centres the dialog over its owner (over the work area when the owner is hidden, minimised or
// missing), kept inside the work area, without changing its size, z-order or activation.
void CentreOverOwner(HWND dialog) {
    RECT dialogRect{};
    RECT work{};
    RECT ownerRect{};
    GetWindowRect(dialog, &dialogRect);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const HWND owner = GetWindow(dialog, GW_OWNER);
    const bool useOwner = owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner) &&
                          GetWindowRect(owner, &ownerRect);
    const Box reference{ownerRect.left, ownerRect.top, ownerRect.right, ownerRect.bottom};
    const Box placed = CentreDialog(
        {dialogRect.left, dialogRect.top, dialogRect.right, dialogRect.bottom},
        useOwner ? &reference : nullptr, {work.left, work.top, work.right, work.bottom});
    SetWindowPos(dialog, nullptr, placed.Left, placed.Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class AboutBox {
public:
    INT_PTR Run(HINSTANCE instance, HWND owner) {
        return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, &DialogProcedure,
                               reinterpret_cast<LPARAM>(this));
    }

private:
    static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<AboutBox*>(GetWindowLongPtrA(dialog, DWLP_USER));
        return self != nullptr ? self->ProcessMessage(dialog, message, wParam) : FALSE;
    }

    INT_PTR ProcessMessage(HWND dialog, UINT message, WPARAM wParam) {
        switch (message) {
        case WM_INITDIALOG:
            link_.Attach(GetDlgItem(dialog, IDC_WEB_LINK));
            CentreOverOwner(dialog);
            SetWindowTextA(GetDlgItem(dialog, IDC_CREDITS), kCredits);
            link_.SetLinkTarget(LM_HOME_PAGE);
            link_.SetLinkText("Visit our website");
            return TRUE; // the dialog manager focuses the first tab stop, the OK button
        case WM_COMMAND:
            // OK, and Escape or the close box (IDCANCEL), close it.
            if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    }

    WebLink link_;
};

} // namespace

INT_PTR ShowAboutBox(HINSTANCE instance, HWND owner) {
    return AboutBox().Run(instance, owner);
}
