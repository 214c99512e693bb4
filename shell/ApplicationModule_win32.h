// The process-wide state of the screen saver: the executable's instance handle, the main thread,
// and the message loops running on each thread. Exactly one exists while the process runs a mode.
#pragma once

#include "base/MessageLoop_win32.h"

#include <windows.h>

class ApplicationModule {
public:
    explicit ApplicationModule(HINSTANCE instance);
    ~ApplicationModule();
    ApplicationModule(const ApplicationModule&) = delete;
    ApplicationModule& operator=(const ApplicationModule&) = delete;

    // The module of this process; only valid while it is set up.
    static ApplicationModule& Current();

    HINSTANCE Instance() const { return InstanceHandle; }
    DWORD MainThreadId() const { return MainThread; }
    // Every thread's loop is entered here for its run.
    MessageLoopTable& MessageLoops() { return Loops; }

private:
    static ApplicationModule* CurrentModule;

    HINSTANCE InstanceHandle;
    DWORD MainThread;
    MessageLoopTable Loops;
};
