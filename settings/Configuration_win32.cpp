#include "settings/Configuration_win32.h"

// The property sheet is not built yet: the configuration mode shows nothing and reports that it
// ran, so the command-line table already behaves as it will.
int RunConfiguration(HWND) {
    return 0;
}
