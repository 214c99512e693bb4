// The process-wide state of the screen saver: the executable's instance handle, the main thread,
// and the message loops running on each thread. Exactly one exists while the process runs a mode.
#pragma once

#include <windows.h>

#include <map>

class MessageLoop;

class ApplicationModule {
public:
    explicit ApplicationModule(HINSTANCE instance);
    ~ApplicationModule();
    ApplicationModule(const ApplicationModule&) = delete;
    ApplicationModule& operator=(const ApplicationModule&) = delete;

    // The module of this process; only valid while it is set up.
    static ApplicationModule& Current();

    HINSTANCE Instance() const { return instance_; }
    DWORD MainThreadId() const { return mainThreadId_; }

    // The loop running on the calling thread is entered here for its run. False when that thread
    // already runs one.
    bool AddMessageLoop(MessageLoop* loop);
    void RemoveMessageLoop();
    MessageLoop* FindMessageLoop(DWORD threadId) const;

private:
    static ApplicationModule* current_;

    HINSTANCE instance_;
    DWORD mainThreadId_;
    std::map<DWORD, MessageLoop*> messageLoops_;
};
