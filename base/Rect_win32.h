// Rect and GDI's RECT, each the other's image: the only place they are converted.
#pragma once

#include "base/Rect.h"

#include <windows.h>

inline Rect ToRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

inline RECT ToRECT(const Rect& rect) {
    return {rect.Left, rect.Top, rect.Right, rect.Bottom};
}
