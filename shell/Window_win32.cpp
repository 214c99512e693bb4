#include "shell/Window_win32.h"

#include <utility>

thread_local std::exception_ptr Window::pendingException_;

Window::~Window() {
    if (handle_ == nullptr) return;
    // Detach first: a message dispatched to a half-destroyed object would reach no handler.
    const HWND window = std::exchange(handle_, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

void Window::DestroyOwnWindow() {
    if (handle_ != nullptr) DestroyWindow(handle_);
}

bool Window::CreateWindowOf(const char* className, DWORD extendedStyle, const char* title,
                            DWORD style, int x, int y, int width, int height, HWND parent,
                            HINSTANCE instance) {
    const HWND window = CreateWindowExA(extendedStyle, className, title, style, x, y, width, height,
                                        parent, nullptr, instance, this);
    RethrowPendingException();
    return window != nullptr;
}

void Window::RethrowPendingException() {
    if (pendingException_) std::rethrow_exception(std::exchange(pendingException_, nullptr));
}

LRESULT CALLBACK Window::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr && message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    // Messages before WM_NCCREATE, and after the object let go, get the default handling.
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = 0;
    bool handled = false;
    // Once a handler has thrown, only the cleanup still runs: whatever the window holds is
    // released however the run ends.
    if (!pendingException_ || message == WM_DESTROY || message == WM_NCDESTROY) {
        try {
            handled = self->ProcessMessage(message, wParam, lParam, result);
        } catch (...) {
            // The first exception is the one the loop rethrows.
            if (!pendingException_) pendingException_ = std::current_exception();
            PostQuitMessage(1);
            // A failed set-up fails the creation; everything else is simply not processed.
            handled = true;
            result = message == WM_CREATE ? -1 : 0;
        }
    }
    if (!handled) result = DefWindowProcA(window, message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
        self->OnFinalMessage();
    }
    return result;
}
