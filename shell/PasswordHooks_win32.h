// The Windows 95/98 screen-saver password hooks. On the NT family the system guards the screen
// saver itself and the close is always allowed.
#pragma once

#include <windows.h>

// Nonzero when the screen saver may close: always on NT; otherwise what "VerifyScreenSavePwd" in
// "password.cpl" says, or 1 when the library or the entry point is missing.
int VerifyPassword(HWND window);

// Runs the system's password change dialog through "PwdChangePasswordA" in "mpr.dll". Returns 0
// when the library could be loaded (also without the entry point), 1 when not.
int ChangePassword(HWND parent);
