// The base layer in this process: the window base (an exception in a handler, a subclassed
// control), the message loop and its table, and an owning handle whose old object cannot go.
#include "base/Handles_win32.h"
#include "base/MessageLoop_win32.h"
#include "base/Window_win32.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A window of ours whose handler throws for WM_APP + 1, and notes whether its thread's loop was in
// the table while it ran.
struct ThrowingWindow : Window {
    explicit ThrowingWindow(MessageLoopTable& table) : Table(table) {}
    bool Create(HWND parent) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Window::WindowProcedure;
        windowClass.lpszClassName = "LanternmoorThrowingWindow";
        RegisterClassA(&windowClass);
        return CreateWindowOf(windowClass.lpszClassName, 0, "", WS_CHILD, 0, 0, 10, 10, parent,
                              nullptr);
    }
    bool ProcessMessage(UINT message, WPARAM, LPARAM, LRESULT&) override {
        if (message == WM_APP + 1) throw std::runtime_error("handler failed");
        if (message == WM_APP) LoopInTable = Table.Find(GetCurrentThreadId()) != nullptr;
        Handled += message == WM_APP;
        Destroyed += message == WM_DESTROY;
        return false;
    }
    MessageLoopTable& Table;
    bool LoopInTable = false;
    int Handled = 0, Destroyed = 0;
};

TEST(WindowBase, AnExceptionInAHandlerEndsTheLoopSkippingLaterHandlersButNotTheCleanup) {
    MessageLoopTable table;
    harness::TestWindow parent(0, 0, 160, 120, WS_POPUP);
    ThrowingWindow window(table);
    ASSERT_TRUE(window.Create(parent.Handle()));
    for (const UINT message : {WM_APP, WM_APP + 1, WM_APP})
        PostMessageA(window.Handle(), message, 0, 0);
    // The parent goes while the exception waits for the loop, as a preview's parent may.
    PostMessageA(parent.Handle(), WM_CLOSE, 0, 0);
    EXPECT_THROW(MessageLoop(table).Run(), std::runtime_error);
    EXPECT_TRUE(window.LoopInTable);
    EXPECT_EQ(window.Handled, 1);
    EXPECT_EQ(window.Destroyed, 1);
    EXPECT_EQ(window.Handle(), nullptr);
    EXPECT_EQ(table.Find(GetCurrentThreadId()), nullptr);
}

// An edit control subclassed: WM_APP answered here, everything else by the edit itself.
struct SubclassedEdit : Window {
    bool Take(HWND edit) { return Subclass(edit); }
    void Give() { Unsubclass(); }
    bool ProcessMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message != WM_APP) return false;
        result = 42;
        return true;
    }
    void OnFinalMessage() override { Finished = true; }
    bool Finished = false;
};

TEST(WindowBase, ASubclassedControlKeepsItsOwnHandlingUntilGivenBackOrDestroyed) {
    harness::TestWindow parent(0, 0, 160, 120, WS_POPUP);
    const auto edit = [&parent] {
        return CreateWindowExA(0, "edit", "", WS_CHILD, 0, 0, 100, 20, parent.Handle(), nullptr,
                               nullptr, nullptr);
    };
    SubclassedEdit link;
    HWND control = edit();
    ASSERT_TRUE(link.Take(control));
    EXPECT_FALSE(link.Take(edit())) << "a second window taken";
    // The edit's own messages reach the edit (the default procedure answers 0 to this one).
    const LRESULT limit = SendMessageA(control, EM_GETLIMITTEXT, 0, 0);
    EXPECT_EQ(SendMessageA(control, WM_APP, 0, 0), 42);
    EXPECT_GT(limit, 0);
    link.Give();
    EXPECT_EQ(link.Handle(), nullptr);
    EXPECT_EQ(SendMessageA(control, WM_APP, 0, 0), 0);
    EXPECT_EQ(SendMessageA(control, EM_GETLIMITTEXT, 0, 0), limit);

    // Destroyed while subclassed: the object lets go after the last message.
    ASSERT_TRUE(link.Take(control = edit()));
    DestroyWindow(control);
    EXPECT_TRUE(link.Finished);
    EXPECT_EQ(link.Handle(), nullptr);
}

TEST(UniqueHandle, ANewHandleIsKeptWhenTheOldOneCannotBeDeleted) {
    for (const bool byMove : {false, true}) {
        const long before = LiveHandles(HandleKind::Brush);
        const HBRUSH stale = CreateSolidBrush(0), fresh = CreateSolidBrush(0);
        UniqueBrush held(stale);
        DeleteObject(stale); // deleting it again fails
        if (byMove) {
            held = UniqueBrush(fresh);
        } else {
            EXPECT_FALSE(held.Reset());
            EXPECT_EQ(held.Get(), stale) << "kept for another try";
            EXPECT_FALSE(held.Reset(fresh));
        }
        EXPECT_EQ(held.Get(), fresh) << byMove;
        EXPECT_TRUE(held.Reset());
        EXPECT_EQ(GetObjectType(fresh), 0u) << "the new brush was not deleted";
        // The brush deleted behind the wrapper's back is given up, and counted as a leak.
        EXPECT_EQ(LiveHandles(HandleKind::Brush), before + 1);
    }
}

} // namespace
