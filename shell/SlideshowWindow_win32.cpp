#include "shell/SlideshowWindow_win32.h"

#include "shell/ApplicationModule_win32.h"
#include "shell/PasswordHooks_win32.h"

namespace {

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

} // namespace

SlideshowWindow::SlideshowWindow(bool isPreview, SettingsStore& store)
    : Settings_(store), IsPreview(isPreview) {}

SlideshowWindow::~SlideshowWindow() {
    DestroyOwnWindow();
}

bool SlideshowWindow::CreateFullScreen() {
    const HINSTANCE instance = ApplicationModule::Current().Instance();
    if (!RegisterSlideshowClass(instance)) return false;
    return CreateWindowOf(kSlideshowClassName, WS_EX_TOPMOST, kFullScreenTitle,
                          WS_POPUP | WS_VISIBLE | WS_MAXIMIZE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                          GetSystemMetrics(SM_CYSCREEN), nullptr, instance);
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
        OnCreate(*reinterpret_cast<const CREATESTRUCTA*>(lParam));
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
        OnQueryNewPalette();
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
        StepPicture(+1);
        return true;
    default:
        return false;
    }
}

void SlideshowWindow::OnCreate(const CREATESTRUCTA& create) {
    GetCursorPos(&StartCursorPos);
    CurrentIndex = -1;
    SetUpShow(create);
}

void SlideshowWindow::OnClose() {
    if (VerifyPassword(Handle()) == 0) return; // refused: the show goes on
    DestroyWindow(Handle());
    PostQuitMessage(0);
}

void SlideshowWindow::OnDestroy() {
    KillTimer(Handle(), TimerId);
    MemoryDC.Reset();
    CaptionBrush.Reset();
    ReleaseShow();
    // However the window goes (our own close, or the preview's parent destroying it), the run ends
    // with it: a loop without its window would wait forever.
    PostQuitMessage(0);
}

void SlideshowWindow::OnPaint() {
    PaintScope paint(Handle());
    if (!PictureBitmap || !MemoryDC) return;
    SelectedObject picture(MemoryDC.Get(), PictureBitmap.Get());
    BitBlt(paint.Dc(), PictureRect.left, PictureRect.top, PictureRect.right - PictureRect.left,
           PictureRect.bottom - PictureRect.top, MemoryDC.Get(), 0, 0, SRCCOPY);
}

void SlideshowWindow::OnQueryNewPalette() {
    if (!HalftonePalette || WindowDC == nullptr) return;
    SelectedPalette palette(WindowDC, HalftonePalette.Get(), false);
    RealizePalette(WindowDC);
}

void SlideshowWindow::OnKeyDown(WPARAM virtualKey) {
    if (Settings_.EnableKeys) {
        switch (virtualKey & 0xFF) {
        case VK_NEXT:
            StepPicture(+1);
            return;
        case VK_PRIOR:
            StepPicture(-1);
            return;
        default:
            break;
        }
    }
    RequestClose();
}

void SlideshowWindow::OnMouseMove(LPARAM position) {
    // Signed 16-bit coordinates; no threshold: any difference from the position at creation.
    const int x = static_cast<short>(LOWORD(position));
    const int y = static_cast<short>(HIWORD(position));
    if ((x != StartCursorPos.x || y != StartCursorPos.y) && !IsPreview) RequestClose();
}

void SlideshowWindow::OnSetCursor() {
    SetCursor(IsPreview ? LoadCursorA(nullptr, IDC_ARROW) : nullptr);
}

void SlideshowWindow::RequestClose() {
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}
