// GoogleTest's customisation header for the Windows build, found ahead of GoogleTest's own
// (empty) one. The win32 thread model's libstdc++ of GCC 12 has no std::mutex or
// std::condition_variable, with which GoogleTest's Notification waits; GoogleTest's other
// thread support on Windows is its own, on Win32 critical sections and handles. This
// Notification waits on an atomic flag instead. GoogleTest uses it only to start threads of its
// own tests; the test programs here assert on one thread.
#ifndef LANTERNMOOR_GTEST_CUSTOM_GTEST_PORT_H
#define LANTERNMOOR_GTEST_CUSTOM_GTEST_PORT_H

#include <atomic>
#include <chrono>
#include <thread>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }

    void WaitForNotification() {
        while (!notified_.load(std::memory_order_acquire))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

private:
    std::atomic<bool> notified_{false};
};

} // namespace internal
} // namespace testing

#endif
