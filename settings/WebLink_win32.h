// A hyperlink made from a static text control: underlined text in the browser's link colours, a
// hand pointer and a tooltip over it, opening its target through the shell on a click or on Enter
// or Space, and drawn in the visited colour afterwards.
#pragma once

#include "settings/Placement.h"
#include "win32/Handles_win32.h"

#include <windows.h>

#include <string>

class WebLink {
public:
    WebLink() = default;
    ~WebLink();
    WebLink(const WebLink&) = delete;
    WebLink& operator=(const WebLink&) = delete;

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

    HWND Handle() const { return window_; }
    bool Visited() const { return visited_; }
    bool PaintsText() const { return paintsText_; }
    COLORREF LinkColor() const { return linkColor_; }
    COLORREF VisitedColor() const { return visitedColor_; }
    const RECT& LinkRect() const { return linkRect_; }
    HCURSOR HandCursor() const { return handCursor_.Get(); }
    HFONT LinkFont() const { return linkFont_.Get(); }

private:
    static LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Initialise();
    void Detach();
    void ReadBrowserColors();
    void CreateTooltip();
    void UpdateLinkRect();
    void Paint(HDC dc);
    const std::string& ShownText() const { return linkText_.empty() ? target_ : linkText_; }
    UINT AlignmentFormat() const;
    bool InLink(POINT point) const { return PtInRect(&linkRect_, point) != FALSE; }
    bool PointerInLink() const;

    HWND window_ = nullptr;
    WNDPROC previousProcedure_ = nullptr;
    // Empty strings stand for "none".
    std::string linkText_;
    std::string target_;
    OwnedCursor handCursor_;
    GdiObject<HFONT> linkFont_;
    RECT linkRect_{};
    bool paintsText_ = true;
    TextAlignment alignment_ = TextAlignment::Left;
    HWND tooltip_ = nullptr;
    bool visited_ = false;
    COLORREF linkColor_ = RGB(0, 0, 255);
    COLORREF visitedColor_ = RGB(128, 0, 128);
};
