// A hyperlink made from a static text control: underlined text in the browser's link colours, a
// hand pointer and a tooltip over it, opening its target through the shell on a click or on Enter
// or Space, and drawn in the visited colour afterwards.
#pragma once

#include "base/Handles_win32.h"
#include "base/Window_win32.h"
#include "settings/Placement.h"

#include <windows.h>

#include <string>

class WebLink : public Window {
public:
    WebLink() = default;
    ~WebLink() override;

    // Turns an existing control into the link for as long as the control lives. False when this
    // link is already attached or `control` is no window.
    bool Attach(HWND control);
    // Creates a static control of its own (visible child `id` of `parent`) and attaches to it.
    bool Create(HWND parent, const char* text, DWORD style, const RECT& rect, int id);

    // The text shown (the target is shown while there is none). False, leaving no text, when it
    // cannot be copied.
    bool SetLinkText(const char* text);
    // What the shell opens. False, leaving no target, when it cannot be copied.
    bool SetLinkTarget(const char* target);
    // Hands the target to the shell; once that succeeds the link shows as visited.
    void OpenTarget();

    bool IsVisited() const { return Visited; }
    const RECT& GetLinkRect() const { return LinkRect; }
    HCURSOR GetHandCursor() const { return HandCursor.Get(); }
    HFONT GetLinkFont() const { return LinkFont.Get(); }

protected:
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Initialise();
    void ReadBrowserColors();
    void CreateTooltip();
    void UpdateLinkRect();
    void Paint(HDC dc);
    const std::string& ShownText() const { return LinkText.empty() ? Target : LinkText; }
    UINT AlignmentFormat() const;
    bool InLink(POINT point) const { return PtInRect(&LinkRect, point) != FALSE; }
    bool PointerInLink() const;

    // Empty strings stand for "none".
    std::string LinkText;
    std::string Target;
    UniqueCursor HandCursor;
    UniqueFont LinkFont;
    RECT LinkRect{};
    bool PaintsText = true;
    TextAlignment Alignment = TextAlignment::Left;
    HWND Tooltip = nullptr;
    bool Visited = false;
    COLORREF LinkColor = RGB(0, 0, 255);
    COLORREF VisitedColor = RGB(128, 0, 128);
};
