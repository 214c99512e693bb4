// The clock and message queue of a transition on Windows: the tick counter, Sleep, and the
// window's own messages taken one per frame by the rules of the transition loop.
#pragma once

#include "slideshow/Transition.h"

#include <windows.h>

class WindowTransitionHost : public TransitionHost {
public:
    WindowTransitionHost(HWND window, bool enableKeys) : Window(window), EnableKeys(enableKeys) {}

    std::uint32_t TickCount() override { return GetTickCount(); }
    void Sleep(std::uint32_t millis) override { ::Sleep(millis); }
    bool TakeOneMessage() override;

private:
    HWND Window;
    bool EnableKeys;
};
