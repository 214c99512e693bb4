#include "base/Window_win32.h"

#include <utility>

namespace {

// The window property that leads from a window to its object. A property rather than the user
// data: a subclassed control's user data belongs to whoever made it.
const char kObjectProperty[] = "Lanternmoor.Window";

} // namespace

std::exception_ptr Window::PendingException;

Window::~Window() {
    if (Hwnd == nullptr) return;
    if (OwnProcedure != nullptr) {
        Unsubclass();
        return;
    }
    // Detach first: a message dispatched to a half-destroyed object would reach no handler.
    const HWND window = Hwnd;
    Detach();
    DestroyWindow(window);
}

void Window::DestroyOwnWindow() {
    if (Hwnd != nullptr && OwnProcedure == nullptr) DestroyWindow(Hwnd);
}

bool Window::CreateWindowOf(const char* className, DWORD extendedStyle, const char* title,
                            DWORD style, int x, int y, int width, int height, HWND parent,
                            HINSTANCE instance) {
    const HWND window = CreateWindowExA(extendedStyle, className, title, style, x, y, width, height,
                                        parent, nullptr, instance, this);
    RethrowPendingException();
    return window != nullptr;
}

bool Window::Subclass(HWND window) {
    if (Hwnd != nullptr || !IsWindow(window)) return false;
    Attach(window);
    OwnProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcedure)));
    return true;
}

void Window::Unsubclass() {
    if (Hwnd == nullptr || OwnProcedure == nullptr) return;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(Hwnd, GWLP_WNDPROC)) == &WindowProcedure)
        SetWindowLongPtrA(Hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnProcedure));
    Detach();
}

void Window::RethrowPendingException() {
    if (PendingException) std::rethrow_exception(std::exchange(PendingException, nullptr));
}

Window* Window::Of(HWND window) {
    return static_cast<Window*>(GetPropA(window, kObjectProperty));
}

void Window::Attach(HWND window) {
    Hwnd = window;
    SetPropA(window, kObjectProperty, this);
}

void Window::Detach() {
    RemovePropA(Hwnd, kObjectProperty);
    Hwnd = nullptr;
}

LRESULT Window::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) const {
    return OwnProcedure != nullptr ? CallWindowProcA(OwnProcedure, Hwnd, message, wParam, lParam)
                                   : DefWindowProcA(Hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Window::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = Of(window);
    if (self == nullptr && message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->Attach(window);
    }
    // Messages before WM_NCCREATE, and after the object let go, get the default handling.
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = 0;
    bool handled = false;
    // Once a handler has thrown, only the cleanup still runs: whatever the window holds is
    // released however the run ends.
    if (!PendingException || message == WM_DESTROY || message == WM_NCDESTROY) {
        try {
            handled = self->ProcessMessage(message, wParam, lParam, result);
        } catch (...) {
            // The first exception is the one the loop rethrows.
            if (!PendingException) PendingException = std::current_exception();
            PostQuitMessage(1);
            // A failed set-up fails the creation; everything else is simply not processed.
            handled = true;
            result = message == WM_CREATE ? -1 : 0;
        }
    }
    if (!handled) result = self->DefaultHandling(message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        if (self->OwnProcedure != nullptr)
            self->Unsubclass();
        else
            self->Detach();
        self->OnFinalMessage();
    }
    return result;
}
