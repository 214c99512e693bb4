#include "settings/WebLink_win32.h"

#include "base/Rect_win32.h"
#include "settings/AnchorColor.h"
#include "settings/Placement.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <new>
#include <utility>

namespace {

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

} // namespace

WebLink::~WebLink() {
    Unsubclass();
    if (Tooltip != nullptr) DestroyWindow(Tooltip);
}

bool WebLink::Attach(HWND control) {
    if (!Subclass(control)) return false;
    Initialise();
    return true;
}

bool WebLink::Create(HWND parent, const char* text, DWORD style, const RECT& rect, int id) {
    if (Handle() != nullptr) return false;
    const HWND control = CreateWindowExA(
        0, "static", text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    return control != nullptr && Attach(control);
}

void WebLink::Initialise() {
    char className[8] = {};
    GetClassNameA(Handle(), className, sizeof className);
    if (lstrcmpiA(className, "static") == 0) {
        const LONG style = GetWindowLongA(Handle(), GWL_STYLE);
        SetWindowLongA(Handle(), GWL_STYLE, style | SS_NOTIFY); // so that it gets the mouse
        // The kind is the whole type field: SS_NOPREFIX and the like beside it change nothing.
        // Pictures, rectangles, frames, etched lines and owner-drawn statics have no text to show.
        const LONG type = style & SS_TYPEMASK;
        PaintsText = !((type >= SS_ICON && type <= SS_WHITEFRAME) || type >= SS_OWNERDRAW);
        Alignment = type == SS_CENTER  ? TextAlignment::Centre
                    : type == SS_RIGHT ? TextAlignment::Right
                                       : TextAlignment::Left;
    }
    HandCursor.Reset(CreateHandCursor());
    if (PaintsText) {
        const auto parentFont =
            reinterpret_cast<HFONT>(SendMessageA(GetParent(Handle()), WM_GETFONT, 0, 0));
        LOGFONTA font{};
        if (parentFont != nullptr && GetObjectA(parentFont, sizeof font, &font) != 0) {
            font.lfUnderline = TRUE;
            LinkFont.Reset(CreateFontIndirectA(&font));
        }
    }
    const int length = GetWindowTextLengthA(Handle());
    if (LinkText.empty() && length > 0) {
        try {
            std::string text(static_cast<std::size_t>(length) + 1, '\0');
            GetWindowTextA(Handle(), &text[0], length + 1);
            SetLinkText(text.c_str());
        } catch (const std::bad_alloc&) {
            // No text of its own then: the target is shown.
        }
    }
    if (Target.empty()) CopyText(LinkText.c_str(), Target);
    UpdateLinkRect();
    CreateTooltip();
    if (PaintsText) ReadBrowserColors();
}

void WebLink::ReadBrowserColors() {
    // Read only: the colours are the browser's settings, never written here.
    const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, kBrowserSettingsKey, KEY_READ);
    if (!key) return;
    ReadColor(key.Get(), "Anchor Color", LinkColor);
    ReadColor(key.Get(), "Anchor Color Visited", VisitedColor);
}

void WebLink::CreateTooltip() {
    Tooltip =
        CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (Tooltip == nullptr) return;
    SendMessageA(Tooltip, TTM_ACTIVATE, TRUE, 0);
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE; // the size every version of the control accepts
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = GetParent(Handle());
    tool.uId = reinterpret_cast<UINT_PTR>(Handle());
    tool.lpszText = const_cast<char*>(Target.c_str()); // the control keeps its own copy
    SendMessageA(Tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool WebLink::SetLinkText(const char* text) {
    const bool copied = CopyText(text, LinkText);
    UpdateLinkRect();
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, TRUE);
    return copied;
}

bool WebLink::SetLinkTarget(const char* target) {
    const bool copied = CopyText(target, Target);
    if (LinkText.empty()) {
        UpdateLinkRect();
        if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, TRUE);
    }
    return copied;
}

UINT WebLink::AlignmentFormat() const {
    return Alignment == TextAlignment::Centre  ? DT_CENTER
           : Alignment == TextAlignment::Right ? DT_RIGHT
                                               : DT_LEFT;
}

void WebLink::UpdateLinkRect() {
    if (Handle() == nullptr || ShownText().empty()) return;
    RECT client{};
    GetClientRect(Handle(), &client);
    LinkRect = client;
    if (!PaintsText) return;
    RECT measured = client;
    {
        const UniqueBorrowedDc dc = BorrowDc(Handle());
        const UniqueSelection font = Select(dc.Get(), LinkFont.Get());
        DrawTextA(dc.Get(), ShownText().c_str(), -1, &measured,
                  DT_CALCRECT | DT_WORDBREAK | AlignmentFormat());
    }
    LinkRect = ToRECT(PlaceLinkText(ToRect(client), measured.right - measured.left,
                                    measured.bottom - measured.top, Alignment));
}

void WebLink::Paint(HDC dc) {
    RECT client{};
    GetClientRect(Handle(), &client);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(Handle()), WM_CTLCOLORSTATIC,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(Handle())));
    if (brush != nullptr) FillRect(dc, &client, brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Visited ? VisitedColor : LinkColor);
    {
        const UniqueSelection font = Select(dc, LinkFont.Get());
        RECT text = LinkRect;
        DrawTextA(dc, ShownText().c_str(), -1, &text, DT_WORDBREAK | AlignmentFormat());
    }
    if (GetFocus() == Handle()) DrawFocusRect(dc, &LinkRect);
}

bool WebLink::PointerInLink() const {
    POINT pointer{};
    GetCursorPos(&pointer);
    ScreenToClient(Handle(), &pointer);
    return InLink(pointer);
}

void WebLink::OpenTarget() {
    if (Target.empty()) return;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", Target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) return;
    Visited = true;
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, TRUE);
}

bool WebLink::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && Tooltip != nullptr) {
        const DWORD position = GetMessagePos();
        MSG relayed{Handle(),
                    message,
                    wParam,
                    lParam,
                    static_cast<DWORD>(GetMessageTime()),
                    {GET_X_LPARAM(position), GET_Y_LPARAM(position)}};
        SendMessageA(Tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_MOUSEMOVE:
        if (!Target.empty() && InLink(point)) SetCursor(HandCursor.Get());
        return false;
    case WM_SETCURSOR:
        if (Target.empty() || !PointerInLink()) return false;
        SetCursor(HandCursor.Get());
        result = TRUE;
        return true;
    case WM_LBUTTONDOWN:
        if (!InLink(point)) return false;
        SetFocus(Handle());
        SetCapture(Handle());
        return true;
    case WM_LBUTTONUP:
        // Only a press that began on the link holds the capture.
        if (GetCapture() != Handle()) return false;
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
        if (PaintsText) InvalidateRect(Handle(), nullptr, TRUE);
        return false;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (!PaintsText) return false;
        if (wParam != 0) {
            Paint(reinterpret_cast<HDC>(wParam));
        } else {
            const UniquePaintDc paint = BeginPaintDc(Handle());
            Paint(paint.Get());
        }
        return true;
    case WM_DESTROY:
        // Owned by the control, but the system hands a child's popups to its top-level window.
        if (Tooltip != nullptr) DestroyWindow(std::exchange(Tooltip, nullptr));
        return false;
    default:
        return false;
    }
}
