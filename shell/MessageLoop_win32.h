// The thread's message loop: runs until the thread's quit message.
#pragma once

#include <windows.h>

class MessageLoop {
public:
    // Enters this loop in the application module's table for the run, fetches, translates and
    // dispatches messages until the quit message, and returns the quit code. A failed fetch is
    // skipped. An exception escaping a window procedure ends the loop and is rethrown here.
    int Run();
};
