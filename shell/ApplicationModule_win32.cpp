#include "shell/ApplicationModule_win32.h"

#include <cstdlib>

ApplicationModule* ApplicationModule::CurrentModule = nullptr;

ApplicationModule::ApplicationModule(HINSTANCE instance)
    : InstanceHandle(instance), MainThread(GetCurrentThreadId()) {
    // One per process: a second one would be a programming error, not a run-time condition.
    if (CurrentModule != nullptr) std::abort();
    CurrentModule = this;
}

ApplicationModule::~ApplicationModule() {
    CurrentModule = nullptr;
}

ApplicationModule& ApplicationModule::Current() {
    if (CurrentModule == nullptr) std::abort();
    return *CurrentModule;
}
