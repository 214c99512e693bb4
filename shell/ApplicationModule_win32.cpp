#include "shell/ApplicationModule_win32.h"

#include <cstdlib>

ApplicationModule* ApplicationModule::current_ = nullptr;

ApplicationModule::ApplicationModule(HINSTANCE instance)
    : instance_(instance), mainThreadId_(GetCurrentThreadId()) {
    // One per process: a second one would be a programming error, not a run-time condition.
    if (current_ != nullptr) std::abort();
    current_ = this;
}

ApplicationModule::~ApplicationModule() {
    current_ = nullptr;
}

ApplicationModule& ApplicationModule::Current() {
    if (current_ == nullptr) std::abort();
    return *current_;
}

bool ApplicationModule::AddMessageLoop(MessageLoop* loop) {
    return messageLoops_.emplace(GetCurrentThreadId(), loop).second;
}

void ApplicationModule::RemoveMessageLoop() {
    messageLoops_.erase(GetCurrentThreadId());
}

MessageLoop* ApplicationModule::FindMessageLoop(DWORD threadId) const {
    const auto entry = messageLoops_.find(threadId);
    return entry == messageLoops_.end() ? nullptr : entry->second;
}
