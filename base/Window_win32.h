// The window base: one C++ object per window, whose message table (ProcessMessage, one switch)
// is reached through one window procedure, WindowProcedure. A window of ours installs it through
// its class; an existing window (a dialog's control) gets it by subclassing.
#pragma once

#include <windows.h>

#include <exception>

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    // Lets go of a subclassed window, and destroys a window of ours if it still exists, so no path
    // out of a run leaves it behind. By then the derived object is gone: the window's last
    // messages get the default handling only. Derived classes that handle WM_DESTROY call
    // DestroyOwnWindow in their own destructor.
    virtual ~Window();

    HWND Handle() const { return Hwnd; }

    // The window procedure of our window classes and of the windows we subclass.
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
    // Handles the messages of an existing window from now on, until it is destroyed or
    // Unsubclass; what this object leaves goes to the window's own procedure. False when this
    // object already has a window or `window` is none.
    bool Subclass(HWND window);
    // Gives a subclassed window its own procedure back. Someone who subclassed it after us keeps
    // our procedure in their chain; it then finds no object and passes everything on.
    void Unsubclass();

    // The message table: true with `result` set when the message was handled; false sends it to
    // the default handling.
    virtual bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // Called after the window's last message, when Handle() is null again.
    virtual void OnFinalMessage() {}

    // Destroys the window now, if it still exists, with this object handling its last messages.
    void DestroyOwnWindow();

private:
    static Window* Of(HWND window);
    void Attach(HWND window);
    void Detach();
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) const;

    // One GUI thread: the exception a handler threw, until its loop rethrows it.
    static std::exception_ptr PendingException;
    HWND Hwnd = nullptr;
    // The subclassed window's own procedure; null for a window of ours.
    WNDPROC OwnProcedure = nullptr;
};
