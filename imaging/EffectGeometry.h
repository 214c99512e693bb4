// Frame pacing shared by the transition effects.
#pragma once

#include <algorithm>
#include <cstdint>

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
