// The configuration mode: the property sheet that edits the settings.
#pragma once

#include <windows.h>

// Runs the configuration owned by `owner` (null: no owner) and returns the exit code, 0.
int RunConfiguration(HWND owner);
