// Process entry of Lanternmoor.scr: set up the application module, run the one mode the command
// line selects, and return its result as the exit code.
#include "shell/ApplicationModule_win32.h"
#include "shell/RunModes_win32.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    try {
        const ApplicationModule module(instance);
        const Win32TextRules rules;
        Win32RunModes modes;
        return ParseCommandLine(arguments, rules, modes);
    } catch (...) {
        // Caught here so that every scope of the run unwinds (the screen-saver-running flag
        // included) before the process ends.
        return kNothingRun;
    }
}
