// The one rectangle of the portable code: a picture's place, a monitor's area, an effect's
// rectangles, a dialog's position. Its conversions to and from GDI's RECT are in Rect_win32.h.
#pragma once

#include <algorithm>
#include <cstdint>

// In pixels, as GDI's RECT: left and top inside, right and bottom outside.
struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    // As GDI's IsRectEmpty: no pixel inside.
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }

    bool operator==(const Rect& other) const {
        return Left == other.Left && Top == other.Top && Right == other.Right &&
               Bottom == other.Bottom;
    }
    bool operator!=(const Rect& other) const { return !(*this == other); }
};

// width x height pixels from (x, y).
inline Rect RectAt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    return {x, y, x + width, y + height};
}

// As GDI's UnionRect: an empty rectangle takes no part; two empty ones give all zeros.
inline Rect UnionRects(const Rect& a, const Rect& b) {
    if (a.IsEmpty()) return b.IsEmpty() ? Rect{} : b;
    if (b.IsEmpty()) return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

// The pixels in both; all zeros when there are none.
inline Rect IntersectRects(const Rect& a, const Rect& b) {
    const Rect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                 std::min(a.Bottom, b.Bottom)};
    return r.IsEmpty() ? Rect{} : r;
}
