// The configuration mode: a property sheet whose one page edits every setting.
#pragma once

#include <windows.h>

// Shows the sheet "Properties" owned by `owner` (null: no owner), with the page and About box
// templates of `instance`, and saves the settings when it closes with OK. Returns 0.
int RunConfiguration(HINSTANCE instance, HWND owner);
