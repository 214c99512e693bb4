#include "settings/WebLink_win32.h"

#include "settings/AnchorColor.h"
#include "settings/Placement.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <new>
#include <utility>

namespace {

const char kLinkProperty[] = "LanternmoorWebLink";
const char kBrowserSettingsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";

// The hand pointer, 32 x 32 and monochrome: ' ' shows the screen, 'X' is black and '.' white. The
// tip of the pointing finger, at (5, 0), is the hot spot.
constexpr int kCursorSize = 32;
// clang-format off
const char* const kHandImage[] = {
    "     XX",
    "    X..X",
    "    X..X",
    "    X..X",
    "    X..X",
    "    X..XXX",
    "    X..X..XXX",
    "    X..X..X..XX",
    "    X..X..X..X.X",
    "XX  X..X..X..X..X",
    "X..XX..X..X..X..X",
    "X...X...........X",
    " X..X...........X",
    "  X.............X",
    "  X............X",
    "   X...........X",
    "   X..........X",
    "    X.........X",
    "    X........X",
    "     X.......X",
    "     XXXXXXXXX",
};
// clang-format on

HCURSOR CreateHandCursor() {
    BYTE andPlane[kCursorSize * kCursorSize / 8];
    BYTE xorPlane[kCursorSize * kCursorSize / 8] = {};
    std::memset(andPlane, 0xFF, sizeof andPlane);
    int y = 0;
    for (const char* row : kHandImage) {
        for (int x = 0; row[x] != '\0'; ++x) {
            const int at = y * kCursorSize / 8 + x / 8;
            const BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
            if (row[x] != ' ') andPlane[at] &= static_cast<BYTE>(~bit);
            if (row[x] == '.') xorPlane[at] |= bit;
        }
        ++y;
    }
    return CreateCursor(GetModuleHandleA(nullptr), 5, 0, kCursorSize, kCursorSize, andPlane,
                        xorPlane);
}

// Copies `text` (none when null) into `into`; false, leaving it empty, when memory runs out.
bool CopyText(const char* text, std::string& into) {
    try {
        into = text != nullptr ? text : "";
        return true;
    } catch (const std::bad_alloc&) {
        into.clear();
        return false;
    }
}

// One of the browser's link colours, when it is set and readable.
void ReadColor(HKEY key, const char* name, COLORREF& color) {
    // The browser writes at most "255,255,255" and its terminator. The value may come without a
    // terminator (a binary value, a string stored without one): end it here whatever it holds.
    char text[13] = {};
    DWORD size = 12;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
        ERROR_SUCCESS)
        return;
    text[size < 12 ? size : 12] = '\0';
    RgbColor parsed{};
    if (ParseAnchorColor(text, parsed)) color = RGB(parsed.Red, parsed.Green, parsed.Blue);
}

Box ToBox(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

} // namespace

WebLink::~WebLink() {
    if (window_ != nullptr) Detach();
    if (tooltip_ != nullptr) DestroyWindow(tooltip_);
}

bool WebLink::Attach(HWND control) {
    if (window_ != nullptr || !IsWindow(control)) return false;
    window_ = control;
    SetPropA(control, kLinkProperty, this);
    previousProcedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProcedure)));
    Initialise();
    return true;
}

bool WebLink::Create(HWND parent, const char* text, DWORD style, const RECT& rect, int id) {
    if (window_ != nullptr) return false;
    const HWND control = CreateWindowExA(
        0, "static", text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    return control != nullptr && Attach(control);
}

void WebLink::Detach() {
    // Someone who subclassed the control after us keeps our procedure in their chain; it then
    // finds no link and passes everything to the default procedure.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window_, GWLP_WNDPROC)) == &SubclassProcedure)
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProcedure_));
    RemovePropA(window_, kLinkProperty);
    window_ = nullptr;
}

void WebLink::Initialise() {
    char className[8] = {};
    GetClassNameA(window_, className, sizeof className);
    if (lstrcmpiA(className, "static") == 0) {
        const LONG style = GetWindowLongA(window_, GWL_STYLE);
        SetWindowLongA(window_, GWL_STYLE, style | SS_NOTIFY); // so that it gets the mouse
        // The kind is the whole type field: SS_NOPREFIX and the like beside it change nothing.
        // Pictures, rectangles, frames, etched lines and owner-drawn statics have no text to show.
        const LONG type = style & SS_TYPEMASK;
        paintsText_ = !((type >= SS_ICON && type <= SS_WHITEFRAME) || type >= SS_OWNERDRAW);
        alignment_ = type == SS_CENTER  ? TextAlignment::Centre
                     : type == SS_RIGHT ? TextAlignment::Right
                                        : TextAlignment::Left;
    }
    handCursor_.Reset(CreateHandCursor());
    if (paintsText_) {
        const auto parentFont =
            reinterpret_cast<HFONT>(SendMessageA(GetParent(window_), WM_GETFONT, 0, 0));
        LOGFONTA font{};
        if (parentFont != nullptr && GetObjectA(parentFont, sizeof font, &font) != 0) {
            font.lfUnderline = TRUE;
            linkFont_.Reset(CreateFontIndirectA(&font));
        }
    }
    const int length = GetWindowTextLengthA(window_);
    if (linkText_.empty() && length > 0) {
        try {
            std::string text(static_cast<std::size_t>(length) + 1, '\0');
            GetWindowTextA(window_, &text[0], length + 1);
            SetLinkText(text.c_str());
        } catch (const std::bad_alloc&) {
            // No text of its own then: the target is shown.
        }
    }
    if (target_.empty()) CopyText(linkText_.c_str(), target_);
    UpdateLinkRect();
    CreateTooltip();
    if (paintsText_) ReadBrowserColors();
}

void WebLink::ReadBrowserColors() {
    HKEY key = nullptr;
    // Read only: the colours are the browser's settings, never written here.
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kBrowserSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    ReadColor(key, "Anchor Color", linkColor_);
    ReadColor(key, "Anchor Color Visited", visitedColor_);
    RegCloseKey(key);
}

void WebLink::CreateTooltip() {
    tooltip_ =
        CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (tooltip_ == nullptr) return;
    SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE; // the size every version of the control accepts
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = GetParent(window_);
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    tool.lpszText = const_cast<char*>(target_.c_str()); // the control keeps its own copy
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool WebLink::SetLinkText(const char* text) {
    const bool copied = CopyText(text, linkText_);
    UpdateLinkRect();
    if (window_ != nullptr) InvalidateRect(window_, nullptr, TRUE);
    return copied;
}

bool WebLink::SetLinkTarget(const char* target) {
    const bool copied = CopyText(target, target_);
    if (linkText_.empty()) {
        UpdateLinkRect();
        if (window_ != nullptr) InvalidateRect(window_, nullptr, TRUE);
    }
    return copied;
}

UINT WebLink::AlignmentFormat() const {
    return alignment_ == TextAlignment::Centre  ? DT_CENTER
           : alignment_ == TextAlignment::Right ? DT_RIGHT
                                                : DT_LEFT;
}

void WebLink::UpdateLinkRect() {
    if (window_ == nullptr || ShownText().empty()) return;
    RECT client{};
    GetClientRect(window_, &client);
    linkRect_ = client;
    if (!paintsText_) return;
    RECT measured = client;
    {
        const WindowDc dc(window_);
        const HGDIOBJ previousFont = linkFont_ ? SelectObject(dc.Get(), linkFont_.Get()) : nullptr;
        DrawTextA(dc.Get(), ShownText().c_str(), -1, &measured,
                  DT_CALCRECT | DT_WORDBREAK | AlignmentFormat());
        if (previousFont != nullptr) SelectObject(dc.Get(), previousFont);
    }
    const Box text = PlaceLinkText(ToBox(client), measured.right - measured.left,
                                   measured.bottom - measured.top, alignment_);
    linkRect_ = {text.Left, text.Top, text.Right, text.Bottom};
}

void WebLink::Paint(HDC dc) {
    RECT client{};
    GetClientRect(window_, &client);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(window_), WM_CTLCOLORSTATIC,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(window_)));
    if (brush != nullptr) FillRect(dc, &client, brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, visited_ ? visitedColor_ : linkColor_);
    const HGDIOBJ previousFont = linkFont_ ? SelectObject(dc, linkFont_.Get()) : nullptr;
    RECT text = linkRect_;
    DrawTextA(dc, ShownText().c_str(), -1, &text, DT_WORDBREAK | AlignmentFormat());
    if (previousFont != nullptr) SelectObject(dc, previousFont);
    if (GetFocus() == window_) DrawFocusRect(dc, &linkRect_);
}

bool WebLink::PointerInLink() const {
    POINT pointer{};
    GetCursorPos(&pointer);
    ScreenToClient(window_, &pointer);
    return InLink(pointer);
}

void WebLink::OpenTarget() {
    if (target_.empty()) return;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) return;
    visited_ = true;
    if (window_ != nullptr) InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK WebLink::SubclassProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    auto* self = static_cast<WebLink*>(GetPropA(window, kLinkProperty));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    const WNDPROC previous = self->previousProcedure_;
    LRESULT result = 0;
    if (message == WM_NCDESTROY)
        self->Detach();
    else if (self->ProcessMessage(message, wParam, lParam, result))
        return result;
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

bool WebLink::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && tooltip_ != nullptr) {
        const DWORD position = GetMessagePos();
        MSG relayed{window_,
                    message,
                    wParam,
                    lParam,
                    static_cast<DWORD>(GetMessageTime()),
                    {GET_X_LPARAM(position), GET_Y_LPARAM(position)}};
        SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_MOUSEMOVE:
        if (!target_.empty() && InLink(point)) SetCursor(handCursor_.Get());
        return false;
    case WM_SETCURSOR:
        if (target_.empty() || !PointerInLink()) return false;
        SetCursor(handCursor_.Get());
        result = TRUE;
        return true;
    case WM_LBUTTONDOWN:
        if (!InLink(point)) return false;
        SetFocus(window_);
        SetCapture(window_);
        return true;
    case WM_LBUTTONUP:
        // Only a press that began on the link holds the capture.
        if (GetCapture() != window_) return false;
        ReleaseCapture();
        if (InLink(point)) OpenTarget();
        return true;
    case WM_CHAR:
        if (wParam == '\r' || wParam == ' ') OpenTarget();
        return true;
    case WM_GETDLGCODE: {
        result = DLGC_WANTCHARS;
        // Enter on the focused link opens it, rather than pressing the dialog's default button.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
            result |= DLGC_WANTMESSAGE;
        return true;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (paintsText_) InvalidateRect(window_, nullptr, TRUE);
        return false;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (!paintsText_) return false;
        if (wParam != 0) {
            Paint(reinterpret_cast<HDC>(wParam));
        } else {
            PAINTSTRUCT paint{};
            Paint(BeginPaint(window_, &paint));
            EndPaint(window_, &paint);
        }
        return true;
    case WM_DESTROY:
        // Owned by the control, but the system hands a child's popups to its top-level window.
        if (tooltip_ != nullptr) DestroyWindow(std::exchange(tooltip_, nullptr));
        return false;
    default:
        return false;
    }
}
