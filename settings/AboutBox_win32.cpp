#include "settings/AboutBox_win32.h"

#include "base/Dialog_win32.h"
#include "base/Rect_win32.h"
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
    const Rect reference = ToRect(ownerRect);
    const Rect placed =
        CentreDialog(ToRect(dialogRect), useOwner ? &reference : nullptr, ToRect(work));
    SetWindowPos(dialog, nullptr, placed.Left, placed.Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class AboutBox : public Dialog {
public:
    INT_PTR Run(HINSTANCE instance, HWND owner) {
        const std::string credits = PackCredits(instance);
        Text = credits.empty() ? kProgramLines : kProgramLines + std::string("\r\n\r\n") + credits;
        return RunModal(instance, IDD_ABOUT, owner);
    }

private:
    INT_PTR ProcessMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            Link.Attach(GetDlgItem(Handle(), IDC_WEB_LINK));
            CentreOverOwner(Handle());
            SetWindowTextA(GetDlgItem(Handle(), IDC_CREDITS), Text.c_str());
            Link.SetLinkTarget(LM_HOME_PAGE);
            Link.SetLinkText("Visit our website");
            return TRUE; // the dialog manager focuses the first tab stop, the OK button
        case WM_COMMAND:
            // OK, and Escape or the close box (IDCANCEL), close it.
            if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
            EndDialog(Handle(), LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    }

    WebLink Link;
    std::string Text;
};

} // namespace

INT_PTR ShowAboutBox(HINSTANCE instance, HWND owner) {
    return AboutBox().Run(instance, owner);
}
