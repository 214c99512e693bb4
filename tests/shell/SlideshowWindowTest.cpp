// The slideshow window inside this process: the cursor, the first step, the close path and the
// window going with its object.
#include "base/MessageLoop_win32.h"
#include "shell/ApplicationModule_win32.h"
#include "shell/SlideshowWindow_win32.h"
#include "tests/settings/MemorySettingsStore.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

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

    ApplicationModule Module{GetModuleHandleA(nullptr)};
    MemorySettingsStore Store;
    harness::TestWindow Parent{0, 0, 160, 120, WS_POPUP};
};

TEST_F(SlideshowWindowTest, TheCursorTheFirstStepTheCloseAndTheWindowGoingWithItsObject) {
    HWND handle = nullptr;
    {
        // Full screen, never shown (the message is sent directly): the cursor is hidden.
        SlideshowWindow fullScreen(false, Store);
        ASSERT_TRUE(fullScreen.CreateFullScreen());
        ShowWindow(handle = fullScreen.Handle(), SW_HIDE);
        EXPECT_EQ(Cursor(fullScreen), nullptr);
    }
    // Gone with its object; the quit message its destruction posted ends the next loop at once.
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(MessageLoop(Module.MessageLoops()).Run(), 0);

    SlideshowWindow window(true, Store);
    ASSERT_TRUE(window.CreatePreview(Parent.Handle(), 160, 120));
    handle = window.Handle();
    EXPECT_EQ(GetParent(handle), Parent.Handle());
    EXPECT_EQ(Cursor(window), LoadCursorA(nullptr, IDC_ARROW));
    // The posted first step is waiting before any timer period has passed.
    MSG tick;
    EXPECT_TRUE(PeekMessageA(&tick, handle, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    // An allowed close destroys the window and ends the loop, which leaves the module's table.
    PostMessageA(handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(MessageLoop(Module.MessageLoops()).Run(), 0);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(window.Handle(), nullptr);
    EXPECT_EQ(Module.MessageLoops().Find(GetCurrentThreadId()), nullptr);
}

} // namespace
