// The thread's message loop, and the table of the loops running on each thread.
#pragma once

#include <windows.h>

#include <map>

class MessageLoop;

// The message loops running, one per thread at most, by thread id. The application module holds
// the process's table.
class MessageLoopTable {
public:
    // Enters `loop` for the calling thread; false when that thread already runs one.
    bool Add(MessageLoop* loop);
    // Removes the calling thread's loop.
    void Remove();
    // The loop running on `threadId`, or null.
    MessageLoop* Find(DWORD threadId) const;

private:
    std::map<DWORD, MessageLoop*> Loops;
};

class MessageLoop {
public:
    explicit MessageLoop(MessageLoopTable& table) : Table(table) {}

    // Enters this loop in the table for the run, fetches, translates and dispatches messages
    // until the quit message, and returns the quit code. A failed fetch is skipped. An exception
    // escaping a window procedure ends the loop and is rethrown here.
    int Run();

private:
    MessageLoopTable& Table;
};
