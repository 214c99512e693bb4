#include "shell/SlideshowWindow_win32.h"

#include "shell/ApplicationModule_win32.h"
#include "shell/PasswordHooks_win32.h"

#include <vector>

namespace {

// The layout timer's id, and the message its callback sends the window.
constexpr UINT_PTR kLayoutTimerId = 2;
constexpr UINT kCheckLayoutMessage = WM_APP + 1;
// WM_DPICHANGED (Windows 8.1 and later), which the headers of an XP build leave out.
constexpr UINT kDpiChanged = 0x02E0;

// Registers the window class once per process.
bool RegisterSlideshowClass(HINSTANCE instance) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kSlideshowClassName, &existing)) return true;

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = &Window::WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kSlideshowClassName;
    return RegisterClassExA(&windowClass) != 0;
}

Rect ToRect(const RECT& rect) {
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

// A function of user32.dll looked up at run time: Windows 95 and NT 4 know one screen only and
// lack the monitor calls, which the import table would then make them refuse to load.
template <typename Function> Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}
const auto gGetMonitorInfo = User32<BOOL(WINAPI*)(HMONITOR, LPMONITORINFO)>("GetMonitorInfoA");
const auto gEnumDisplayMonitors =
    User32<BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM)>("EnumDisplayMonitors");

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT bounds, LPARAM monitors) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const bool primary = gGetMonitorInfo != nullptr && gGetMonitorInfo(monitor, &info) &&
                         (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    reinterpret_cast<std::vector<Monitor>*>(monitors)->push_back(Monitor{ToRect(*bounds), primary});
    return TRUE;
}

// The virtual screen and its monitors; without the monitor calls, the screen and no monitor (the
// show then takes the whole window as one screen).
DisplayLayout ReadDisplayLayout() {
    DisplayLayout layout;
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    layout.VirtualScreen = width > 0 && height > 0 ? Rect{x, y, x + width, y + height}
                                                   : Rect{0, 0, GetSystemMetrics(SM_CXSCREEN),
                                                          GetSystemMetrics(SM_CYSCREEN)};
    if (gEnumDisplayMonitors != nullptr)
        gEnumDisplayMonitors(nullptr, nullptr, &AddMonitor,
                             reinterpret_cast<LPARAM>(&layout.Monitors));
    return layout;
}

} // namespace

SlideshowWindow::SlideshowWindow(bool isPreview, SettingsStore& store)
    : Settings_(store), IsPreview(isPreview) {}

SlideshowWindow::~SlideshowWindow() {
    DestroyOwnWindow();
}

bool SlideshowWindow::CreateFullScreen() {
    const HINSTANCE instance = ApplicationModule::Current().Instance();
    if (!RegisterSlideshowClass(instance)) return false;
    Layout = ReadDisplayLayout();
    // Not maximized: a maximized window covers one monitor only.
    const Rect& screen = Layout.VirtualScreen;
    return CreateWindowOf(
        kSlideshowClassName, WS_EX_TOPMOST, kFullScreenTitle, WS_POPUP | WS_VISIBLE, screen.left,
        screen.top, screen.right - screen.left, screen.bottom - screen.top, nullptr, instance);
}

bool SlideshowWindow::CreatePreview(HWND parent, int width, int height) {
    const HINSTANCE instance = ApplicationModule::Current().Instance();
    if (!RegisterSlideshowClass(instance)) return false;
    return CreateWindowOf(kSlideshowClassName, 0, kPreviewTitle, WS_CHILD | WS_VISIBLE, 0, 0, width,
                          height, parent, instance);
}

bool SlideshowWindow::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return true;
    case WM_CLOSE:
        OnClose();
        return true;
    case WM_DESTROY:
        OnDestroy();
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_QUERYNEWPALETTE:
        if (Show) Show->RealizePalette();
        result = 1;
        return true;
    case WM_PALETTECHANGED:
        return true;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        return true;
    case WM_ACTIVATEAPP:
        // The foreground is passing to another application.
        if (wParam == 0) RequestClose();
        return true;
    case WM_ACTIVATE:
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!IsPreview) RequestClose();
        return true;
    case WM_SYSCOMMAND:
        // Every system command (close, task switch, screen saver start ...) is swallowed.
        return true;
    case WM_SETCURSOR:
        OnSetCursor();
        return true;
    case WM_TIMER:
        if (Show) Show->StepPicture(+1);
        return true;
    case WM_DISPLAYCHANGE: // a monitor came or went, or a resolution or depth changed
    case kDpiChanged:
        FollowLayout(true);
        return true;
    case kCheckLayoutMessage:
        FollowLayout(false);
        return true;
    default:
        return false;
    }
}

void SlideshowWindow::OnCreate() {
    GetCursorPos(&StartCursorPos);
    RECT window{};
    GetWindowRect(Handle(), &window);
    // The preview is one screen; full screen, every monitor is one.
    Show.emplace(Handle(), Settings_, IsPreview,
                 ShowAreas(IsPreview ? std::vector<Monitor>{} : Layout.Monitors, ToRect(window)));
    if (!IsPreview) SetTimer(Handle(), kLayoutTimerId, kLayoutCheckMillis, &CheckLayout);
}

void SlideshowWindow::OnClose() {
    if (VerifyPassword(Handle()) == 0) return; // refused: the show goes on
    DestroyWindow(Handle());
    PostQuitMessage(0);
}

void SlideshowWindow::OnDestroy() {
    KillTimer(Handle(), kLayoutTimerId);
    if (Show) Show->Stop();
    // However the window goes (our own close, or the preview's parent destroying it), the run ends
    // with it: a loop without its window would wait forever.
    PostQuitMessage(0);
}

void SlideshowWindow::OnPaint() {
    PaintScope paint(Handle());
    if (Show) Show->Paint(paint.Dc());
}

void SlideshowWindow::OnKeyDown(WPARAM virtualKey) {
    if (Settings_.EnableKeys && Show) {
        switch (virtualKey & 0xFF) {
        case VK_NEXT:
            Show->StepPicture(+1);
            return;
        case VK_PRIOR:
            Show->StepPicture(-1);
            return;
        default:
            break;
        }
    }
    RequestClose();
}

void SlideshowWindow::OnMouseMove(LPARAM position) {
    if (IsPreview) return;
    // Signed 16-bit window coordinates, compared in screen coordinates: the window's corner is
    // the virtual screen's, left of or above the primary monitor's when a monitor is there. No
    // threshold: any difference from the position at creation.
    POINT at{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ClientToScreen(Handle(), &at);
    if (at.x == StartCursorPos.x && at.y == StartCursorPos.y) return;
    // A change of the monitors may move the cursor (off a monitor that went, say), and the system
    // may report that move a moment after the change: it is the change's, not the user's.
    if (FollowLayout(false) || GetTickCount() - LayoutChangedAt < kLayoutSettleMillis) {
        StartCursorPos = at;
        return;
    }
    RequestClose();
}

void SlideshowWindow::OnSetCursor() {
    SetCursor(IsPreview ? LoadCursorA(nullptr, IDC_ARROW) : nullptr);
}

void SlideshowWindow::RequestClose() {
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

bool SlideshowWindow::FollowLayout(bool always) {
    if (IsPreview || !Show) return false;
    DisplayLayout now = ReadDisplayLayout();
    if (!always && SameLayout(now, Layout)) return false;
    Layout = std::move(now);
    const Rect& screen = Layout.VirtualScreen;
    SetWindowPos(Handle(), HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left,
                 screen.bottom - screen.top, SWP_NOACTIVATE);
    GetCursorPos(&StartCursorPos);
    LayoutChangedAt = GetTickCount();
    RECT window{};
    GetWindowRect(Handle(), &window);
    Show->ChangeAreas(ShowAreas(Layout.Monitors, ToRect(window)));
    return true;
}

void CALLBACK SlideshowWindow::CheckLayout(HWND window, UINT, UINT_PTR, DWORD) {
    SendMessageA(window, kCheckLayoutMessage, 0, 0);
}
