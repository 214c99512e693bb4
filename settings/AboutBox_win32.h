// The About box of the configuration: the program's name, version and maker, the credits of the
// pictures it was built with, and a link to the home page.
#pragma once

#include <windows.h>

// Shows it modally, owned by `owner` and centred over it, until OK, Escape or the close box;
// returns the command that closed it (IDOK or IDCANCEL).
INT_PTR ShowAboutBox(HINSTANCE instance, HWND owner);
