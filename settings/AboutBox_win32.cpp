#include "settings/AboutBox_win32.h"

#include "resources/ResourceIds.h"
#include "settings/Placement.h"
#include "settings/WebLink_win32.h"

#include "Version.h"

#include <algorithm>
#include <string>

namespace {

// The program's own lines; the picture pack's credits follow after an empty line.
const char kProgramLines[] = "Lanternmoor " LM_VERSION_TEXT "\r\n"
                             "A photo-slideshow screen saver by Quillfern";

// The credits of the pictures this screen saver was built with (resources/ResourceIds.h): text
// up to its first NUL and at most PACK_CREDITS_LIMIT characters, whatever a tool wrote there.
// Empty when the pack has none.
std::string PackCredits(HINSTANCE instance) {
    const HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_PACK_CREDITS),
                                      MAKEINTRESOURCEA(RT_PACK_CREDITS));
    const HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (text == nullptr) return "";
    const std::size_t size =
        std::min<std::size_t>(SizeofResource(instance, found), PACK_CREDITS_LIMIT);
    return std::string(text, std::find(text, text + size, '\0'));
}

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
        const std::string credits = PackCredits(instance);
        text_ = credits.empty() ? kProgramLines : kProgramLines + std::string("\r\n\r\n") + credits;
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
            SetWindowTextA(GetDlgItem(dialog, IDC_CREDITS), text_.c_str());
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
    std::string text_;
};

} // namespace

INT_PTR ShowAboutBox(HINSTANCE instance, HWND owner) {
    return AboutBox().Run(instance, owner);
}
