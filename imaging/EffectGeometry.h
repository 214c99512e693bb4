// Rectangle arithmetic and frame pacing shared by the transition effects.
#pragma once

#include "imaging/TransitionEffect.h"

#include <algorithm>
#include <cstdint>

// As GDI's IsRectEmpty: no pixel inside.
inline bool IsEmptyRect(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// As GDI's UnionRect: an empty rectangle takes no part; two empty ones give all zeros.
inline Rect UnionRects(const Rect& a, const Rect& b) {
    if (IsEmptyRect(a)) return IsEmptyRect(b) ? Rect{} : b;
    if (IsEmptyRect(b)) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The pixels in both; all zeros when there are none.
inline Rect IntersectRects(const Rect& a, const Rect& b) {
    const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return IsEmptyRect(r) ? Rect{} : r;
}

// The units that should be drawn by `progress` of a transition of `total` units: the product
// truncated, never fewer than already drawn and never more than the total. The product is
// formed in double precision, where it is exact (total < 2^29), so it is the same on every
// processor. A progress that is not a number draws nothing new.
inline std::int64_t UnitsDue(std::int64_t total, std::int64_t done, float progress) {
    if (!(progress > 0.0f)) return done;
    if (progress >= 1.0f) return total;
    const auto due = static_cast<std::int64_t>(static_cast<double>(total) * progress);
    return std::clamp(due, done, total);
}
