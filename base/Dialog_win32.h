// The dialog base: one C++ object per dialog or property sheet page, whose message table
// (ProcessMessage, one switch) is reached through one dialog procedure, DialogProcedure.
#pragma once

#include <windows.h>

#include <commctrl.h>

class Dialog {
public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog() = default;

    HWND Handle() const { return Hwnd; }

protected:
    // Runs the dialog of template `id` modally, owned by `owner`, with this object handling its
    // messages; returns what EndDialog was given (-1 when it could not be shown).
    INT_PTR RunModal(HINSTANCE instance, int id, HWND owner);
    // A property sheet page of template `id` with this object handling its messages; null when
    // it could not be made. The sheet destroys the page.
    HPROPSHEETPAGE CreatePage(HINSTANCE instance, int id);

    // The message table: what the dialog procedure answers (TRUE when the message was handled;
    // results of notifications go through DWLP_MSGRESULT).
    virtual INT_PTR ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    // A page's WM_INITDIALOG carries its PROPSHEETPAGE, whose lParam is the object: this hands
    // the object on to DialogProcedure as a dialog's WM_INITDIALOG would.
    static INT_PTR CALLBACK PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

    HWND Hwnd = nullptr;
};
