// Captions on Windows: loading one from the string table, and drawing it into the picture.
#pragma once

#include <windows.h>

#include <string>

// The string-table entry `id` of `instance`, whole, however long; empty when there is none.
std::string LoadCaption(HINSTANCE instance, UINT id);
