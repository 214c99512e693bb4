#include "base/MessageLoop_win32.h"

#include "base/Window_win32.h"

#include <stdexcept>

namespace {

class LoopEntry {
public:
    LoopEntry(MessageLoopTable& table, MessageLoop* loop) : Table(table) {
        if (!Table.Add(loop)) throw std::logic_error("a message loop already runs on this thread");
    }
    LoopEntry(const LoopEntry&) = delete;
    LoopEntry& operator=(const LoopEntry&) = delete;
    ~LoopEntry() { Table.Remove(); }

private:
    MessageLoopTable& Table;
};

} // namespace

bool MessageLoopTable::Add(MessageLoop* loop) {
    return Loops.emplace(GetCurrentThreadId(), loop).second;
}

void MessageLoopTable::Remove() {
    Loops.erase(GetCurrentThreadId());
}

MessageLoop* MessageLoopTable::Find(DWORD threadId) const {
    const auto entry = Loops.find(threadId);
    return entry == Loops.end() ? nullptr : entry->second;
}

int MessageLoop::Run() {
    const LoopEntry entry(Table, this);
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
