// The slideshow window, the window base and the message loop inside this process: message
// results, the picture timer's period from the settings, the close path, the loop table, and
// exceptions thrown by a handler.
#include "settings/MemorySettingsStore.h"
#include "shell/ApplicationModule_win32.h"
#include "shell/MessageLoop_win32.h"
#include "shell/SlideshowWindow_win32.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

const char* const kKey = "Software\\Quillfern\\Lanternmoor";

// A parent window of ours for previews.
class Parent {
public:
    Parent() {
        window_ = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 160, 120, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    }
    ~Parent() {
        if (IsWindow(window_)) DestroyWindow(window_);
    }
    HWND Handle() const { return window_; }

private:
    HWND window_;
};

// Removes and counts the messages of one kind waiting for `window`.
int TakeMessages(HWND window, UINT message) {
    int count = 0;
    MSG taken;
    while (PeekMessageA(&taken, window, message, message, PM_REMOVE))
        ++count;
    return count;
}

// Drops whatever an earlier window left in this thread's queue, the quit message included.
void DrainQueue() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
}

class SlideshowWindowTest : public ::testing::Test {
protected:
    void SetUp() override { DrainQueue(); }
    void TearDown() override { DrainQueue(); }

    ApplicationModule module_{GetModuleHandleA(nullptr)};
    MemorySettingsStore store_;
    Parent parent_;
};

TEST_F(SlideshowWindowTest, ListedMessagesAreHandledWithTheirResults) {
    SlideshowWindow window(true, store_);
    ASSERT_TRUE(window.CreatePreview(parent_.Handle(), 160, 120));
    const HWND handle = window.Handle();
    EXPECT_EQ(SendMessageA(handle, WM_QUERYNEWPALETTE, 0, 0), 1);
    EXPECT_EQ(SendMessageA(handle, WM_PALETTECHANGED, 0, 0), 0);
    EXPECT_EQ(SendMessageA(handle, WM_ACTIVATE, WA_ACTIVE, 0), 0);
    EXPECT_EQ(SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_EQ(SendMessageA(handle, WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
    EXPECT_FALSE(IsIconic(handle));
    // Preview: the mouse never asks to close; keys and losing the foreground do.
    SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(77, 55));
    SendMessageA(handle, WM_LBUTTONDOWN, 0, 0);
    SendMessageA(handle, WM_RBUTTONDOWN, 0, 0);
    SendMessageA(handle, WM_MBUTTONDOWN, 0, 0);
    SendMessageA(handle, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(TakeMessages(handle, WM_CLOSE), 0);
    SendMessageA(handle, WM_KEYDOWN, VK_NEXT, 0);
    SendMessageA(handle, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(TakeMessages(handle, WM_CLOSE), 2);
    EXPECT_TRUE(IsWindow(handle));
}

TEST_F(SlideshowWindowTest, TheCursorIsAnArrowInThePreviewAndHiddenFullScreen) {
    SlideshowWindow preview(true, store_);
    ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), 160, 120));
    SetCursor(nullptr);
    SendMessageA(preview.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(preview.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));

    // A full-screen window of the same class, but never shown: the message is sent directly.
    SlideshowWindow fullScreen(false, store_);
    ASSERT_TRUE(fullScreen.CreateFullScreen());
    ShowWindow(fullScreen.Handle(), SW_HIDE);
    SendMessageA(fullScreen.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(fullScreen.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(SlideshowWindowTest, TheFirstStepComesAtOnceAndThenEveryPictureMillis) {
    store_.PutDword(kKey, "PictureMillis", 60);
    SlideshowWindow window(true, store_);
    ASSERT_TRUE(window.CreatePreview(parent_.Handle(), 160, 120));
    EXPECT_EQ(window.Settings().PictureMillis, 60);
    // The posted first tick is waiting before any period has passed.
    MSG tick;
    ASSERT_TRUE(PeekMessageA(&tick, window.Handle(), WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(tick.wParam, 0u);
    // Then the picture timer, id 1, every 60 ms: a few ticks in half a second.
    int ticks = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 500) {
        if (PeekMessageA(&tick, window.Handle(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
            EXPECT_EQ(tick.wParam, kPictureTimerId);
            DispatchMessageA(&tick);
            ++ticks;
        }
        Sleep(5);
    }
    EXPECT_GE(ticks, 3);
    EXPECT_LE(ticks, 9);
}

MessageLoop* loopSeen = nullptr;

// From inside the loop: note the loop entered for this thread, then ask to close.
void CALLBACK NoteLoopAndClose(HWND target, UINT, UINT_PTR id, DWORD) {
    KillTimer(target, id);
    loopSeen = ApplicationModule::Current().FindMessageLoop(GetCurrentThreadId());
    PostMessageA(target, WM_CLOSE, 0, 0);
}

TEST_F(SlideshowWindowTest, AnAllowedCloseDestroysTheWindowAndEndsTheLoop) {
    loopSeen = nullptr;
    SlideshowWindow window(true, store_);
    ASSERT_TRUE(window.CreatePreview(parent_.Handle(), 160, 120));
    const HWND handle = window.Handle();
    SetTimer(handle, 77, 10, &NoteLoopAndClose);
    EXPECT_EQ(MessageLoop().Run(), 0);
    EXPECT_NE(loopSeen, nullptr);
    EXPECT_EQ(module_.FindMessageLoop(GetCurrentThreadId()), nullptr);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(window.Handle(), nullptr);
}

TEST_F(SlideshowWindowTest, TheWindowGoesWithItsObject) {
    HWND handle = nullptr;
    {
        SlideshowWindow window(true, store_);
        ASSERT_TRUE(window.CreatePreview(parent_.Handle(), 160, 120));
        handle = window.Handle();
        EXPECT_EQ(GetParent(handle), parent_.Handle());
    }
    EXPECT_FALSE(IsWindow(handle));
    // The quit message its destruction posted ends the next loop at once.
    EXPECT_EQ(MessageLoop().Run(), 0);
}

// A window whose handler throws for one message.
class ThrowingWindow : public Window {
public:
    static constexpr UINT kThrow = WM_APP + 1;
    bool Create() {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Window::WindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "LanternmoorThrowingWindow";
        RegisterClassExA(&windowClass);
        return CreateWindowOf("LanternmoorThrowingWindow", 0, "", WS_POPUP, 0, 0, 10, 10, nullptr,
                              GetModuleHandleA(nullptr));
    }
    int Handled = 0;

protected:
    bool ProcessMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message == kThrow) throw std::runtime_error("handler failed");
        if (message == WM_APP) ++Handled;
        result = 0;
        return false;
    }
};

TEST_F(SlideshowWindowTest, AnExceptionInAHandlerEndsTheLoopAndReachesItsCaller) {
    HWND handle = nullptr;
    {
        ThrowingWindow window;
        ASSERT_TRUE(window.Create());
        handle = window.Handle();
        PostMessageA(handle, WM_APP, 0, 0);
        PostMessageA(handle, ThrowingWindow::kThrow, 0, 0);
        PostMessageA(handle, WM_APP, 0, 0);
        EXPECT_THROW(MessageLoop().Run(), std::runtime_error);
        EXPECT_EQ(window.Handled, 1);
        EXPECT_EQ(module_.FindMessageLoop(GetCurrentThreadId()), nullptr);
    }
    EXPECT_FALSE(IsWindow(handle));
}

} // namespace
