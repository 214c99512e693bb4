// The slideshow window, the window base and the message loop inside this process: the cursor, the
// first step, the close path, the window going with its object,
// exceptions thrown by a handler, and a GDI handle that cannot be deleted.
#include "shell/ApplicationModule_win32.h"
#include "shell/MessageLoop_win32.h"
#include "shell/SlideshowWindow_win32.h"
#include "tests/settings/MemorySettingsStore.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class SlideshowWindowTest : public ::testing::Test {
protected:
    // Handles whatever an earlier window left in this thread's queue, the quit message included.
    void SetUp() override { harness::Pump(0); }
    void TearDown() override { harness::Pump(0); }
    // The cursor the window sets when the system asks.
    static HCURSOR Cursor(const SlideshowWindow& window) {
        SetCursor(nullptr);
        SendMessageA(window.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window.Handle()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    }

    ApplicationModule module_{GetModuleHandleA(nullptr)};
    MemorySettingsStore store_;
    harness::TestWindow parent_{0, 0, 160, 120, WS_POPUP};
};

TEST_F(SlideshowWindowTest, TheCursorTheFirstStepTheCloseAndTheWindowGoingWithItsObject) {
    HWND handle = nullptr;
    {
        // Full screen, never shown (the message is sent directly): the cursor is hidden.
        SlideshowWindow fullScreen(false, store_);
        ASSERT_TRUE(fullScreen.CreateFullScreen());
        ShowWindow(handle = fullScreen.Handle(), SW_HIDE);
        EXPECT_EQ(Cursor(fullScreen), nullptr);
    }
    // Gone with its object; the quit message its destruction posted ends the next loop at once.
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(MessageLoop().Run(), 0);

    SlideshowWindow window(true, store_);
    ASSERT_TRUE(window.CreatePreview(parent_.Handle(), 160, 120));
    handle = window.Handle();
    EXPECT_EQ(GetParent(handle), parent_.Handle());
    EXPECT_EQ(Cursor(window), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(SendMessageA(handle, WM_QUERYNEWPALETTE, 0, 0), 1);
    // The posted first step is waiting before any timer period has passed.
    MSG tick;
    EXPECT_TRUE(PeekMessageA(&tick, handle, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    // An allowed close destroys the window and ends the loop, which leaves the module's table.
    PostMessageA(handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(MessageLoop().Run(), 0);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(window.Handle(), nullptr);
    EXPECT_EQ(module_.FindMessageLoop(GetCurrentThreadId()), nullptr);
}

// A window whose handler throws for WM_APP + 1.
struct ThrowingWindow : Window {
    bool Create(HWND parent) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Window::WindowProcedure;
        windowClass.lpszClassName = "LanternmoorThrowingWindow";
        RegisterClassA(&windowClass);
        return CreateWindowOf(windowClass.lpszClassName, 0, "", WS_CHILD, 0, 0, 10, 10, parent,
                              nullptr);
    }
    int Handled = 0, Destroyed = 0;
    bool ProcessMessage(UINT message, WPARAM, LPARAM, LRESULT&) override {
        if (message == WM_APP + 1) throw std::runtime_error("handler failed");
        Handled += message == WM_APP;
        Destroyed += message == WM_DESTROY;
        return false;
    }
};

TEST_F(SlideshowWindowTest, AnExceptionInAHandlerSkipsLaterHandlersButNotTheCleanup) {
    ThrowingWindow window;
    ASSERT_TRUE(window.Create(parent_.Handle()));
    for (const UINT message : {WM_APP, WM_APP + 1, WM_APP})
        PostMessageA(window.Handle(), message, 0, 0);
    // The parent goes while the exception waits for the loop, as a preview's parent may.
    PostMessageA(parent_.Handle(), WM_CLOSE, 0, 0);
    EXPECT_THROW(MessageLoop().Run(), std::runtime_error);
    EXPECT_EQ(window.Handled, 1);
    EXPECT_EQ(window.Destroyed, 1);
    EXPECT_EQ(module_.FindMessageLoop(GetCurrentThreadId()), nullptr);
}

TEST(GdiObject, ANewHandleIsKeptWhenTheOldOneCannotBeDeleted) {
    for (const bool byMove : {false, true}) {
        const long before = LiveHandles(HandleKind::Brush);
        const HBRUSH stale = CreateSolidBrush(0), fresh = CreateSolidBrush(0);
        GdiObject<HBRUSH> held(stale);
        DeleteObject(stale); // deleting it again fails
        if (byMove)
            held = GdiObject<HBRUSH>(fresh);
        else
            EXPECT_FALSE(held.Reset(fresh));
        EXPECT_EQ(held.Get(), fresh) << byMove;
        EXPECT_TRUE(held.Reset());
        EXPECT_EQ(GetObjectType(fresh), 0u) << "the new brush was not deleted";
        // The brush deleted behind the wrapper's back is given up, and counted as a leak.
        EXPECT_EQ(LiveHandles(HandleKind::Brush), before + 1);
    }
}

} // namespace
