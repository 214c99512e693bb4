#include "slideshow/TransitionHost_win32.h"

static_assert(WindowMessage::Destroy == WM_DESTROY && WindowMessage::Paint == WM_PAINT &&
                  WindowMessage::Close == WM_CLOSE && WindowMessage::KeyDown == WM_KEYDOWN &&
                  VirtualKey::PageUp == VK_PRIOR && VirtualKey::PageDown == VK_NEXT,
              "the loop's message and key numbers are the system's");

bool WindowTransitionHost::TakeOneMessage() {
    // A preview whose parent went away has lost its window meanwhile: nothing more to show.
    if (!IsWindow(Window)) return false;
    MSG message;
    if (!PeekMessageA(&message, Window, 0, 0, PM_NOREMOVE)) return true;
    if (LeavesMessageQueued(message.message)) return false;
    // Fetch exactly the kind of message looked at: a closing message posted in between must stay
    // queued, not be dispatched inside the transition.
    // (A range of 0 to 0 is every message: one fetched that way goes back to the queue.)
    const BOOL fetched = GetMessageA(&message, Window, message.message, message.message);
    if (fetched > 0 && LeavesMessageQueued(message.message)) {
        PostMessageA(Window, message.message, message.wParam, message.lParam);
        return false;
    }
    switch (FetchedMessageAction(message.message, message.wParam, fetched, EnableKeys)) {
    case FrameMessage::Drop:
        return true;
    case FrameMessage::Dispatch:
        TranslateMessage(&message);
        DispatchMessageA(&message);
        return true;
    case FrameMessage::RepostQuitAndLeave:
        PostQuitMessage(0);
        return false;
    case FrameMessage::Leave:
        break;
    }
    return false;
}
