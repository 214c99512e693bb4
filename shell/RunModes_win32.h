// The run modes on Windows and the platform's side of the command line.
#pragma once

#include "shell/CommandLine.h"

#include <windows.h>

// Runs the slideshow full screen until a closing input; sets the system's screen-saver-running
// flag for the run and clears it on every way out. 0 when it ran, 1 when no window could be made.
int RunFullScreen();

// Runs the slideshow in a child window filling `parent` until the window closes or the parent
// destroys it. 0 when it ran, 1 when the parent or the window could not be used.
int RunPreview(HWND parent);

// The thread locale's rules: CharNextA, GetStringTypeExA (C1_SPACE), CharLowerA.
class Win32TextRules : public TextRules {
public:
    std::size_t CharacterLength(const char* character) const override;
    bool IsSpace(const char* character, std::size_t length) const override;
    void Lower(std::string& text) const override;
};

class Win32RunModes : public RunModes {
public:
    bool IsWindow(WindowValue window) override;
    WindowValue ForegroundWindow() override;
    int RunFullScreen() override;
    int RunPreview(WindowValue parent) override;
    int RunConfiguration(WindowValue owner) override;
    int ChangePassword(WindowValue parent) override;
};
