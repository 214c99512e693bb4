#include "shell/MessageLoop_win32.h"

#include "shell/ApplicationModule_win32.h"
#include "shell/Window_win32.h"

#include <stdexcept>

namespace {

class LoopEntry {
public:
    explicit LoopEntry(MessageLoop* loop) {
        if (!ApplicationModule::Current().AddMessageLoop(loop))
            throw std::logic_error("a message loop already runs on this thread");
    }
    LoopEntry(const LoopEntry&) = delete;
    LoopEntry& operator=(const LoopEntry&) = delete;
    ~LoopEntry() { ApplicationModule::Current().RemoveMessageLoop(); }
};

} // namespace

int MessageLoop::Run() {
    LoopEntry entry(this);
    MSG message{};
    for (;;) {
        const BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched == -1) continue;
        if (fetched == 0) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    Window::RethrowPendingException();
    return static_cast<int>(message.wParam);
}
