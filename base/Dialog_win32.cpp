#include "base/Dialog_win32.h"

INT_PTR Dialog::RunModal(HINSTANCE instance, int id, HWND owner) {
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(id), owner, &DialogProcedure,
                           reinterpret_cast<LPARAM>(this));
}

HPROPSHEETPAGE Dialog::CreatePage(HINSTANCE instance, int id) {
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT; // no title of its own: the tab shows the template's caption
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEA(id);
    page.pfnDlgProc = &PageProcedure;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageA(&page);
}

INT_PTR CALLBACK Dialog::DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lParam);
        self->Hwnd = dialog;
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    // Messages before WM_INITDIALOG (WM_SETFONT) get the dialog manager's handling.
    if (self == nullptr) return FALSE;
    const INT_PTR result = self->ProcessMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        self->Hwnd = nullptr;
    }
    return result;
}

INT_PTR CALLBACK Dialog::PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) lParam = reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam;
    return DialogProcedure(page, message, wParam, lParam);
}
