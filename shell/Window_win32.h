// The window base: one C++ object per window, its message table reached through the window
// procedure that every window class of ours installs.
#pragma once

#include <windows.h>

#include <exception>

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    // Destroys the window if it still exists, so no path out of a run leaves it behind. By then
    // the derived object is gone: the window's last messages get the default handling only.
    // Derived classes that handle WM_DESTROY call DestroyOwnWindow in their own destructor.
    virtual ~Window();

    HWND Handle() const { return handle_; }

    // The window procedure of our window classes.
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    // An exception thrown by a message handler cannot cross the system's dispatch code: it is kept,
    // the thread's loop is ended, and the loop (or the window creation) rethrows it. Until then
    // every window's messages go to the default handling, except WM_DESTROY and WM_NCDESTROY,
    // whose cleanup still runs.
    static void RethrowPendingException();

protected:
    // Creates the window with this object handling its messages; false when creation failed.
    bool CreateWindowOf(const char* className, DWORD extendedStyle, const char* title, DWORD style,
                        int x, int y, int width, int height, HWND parent, HINSTANCE instance);

    // The message table: true with `result` set when the message was handled; false sends it to
    // the default window procedure.
    virtual bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // Called after the window's last message, when Handle() is null again.
    virtual void OnFinalMessage() {}

    // Destroys the window now, if it still exists, with this object handling its last messages.
    void DestroyOwnWindow();

private:
    static thread_local std::exception_ptr pendingException_;
    HWND handle_ = nullptr;
};
