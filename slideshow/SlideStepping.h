// Moving through the show: the index of the next picture and the picture timer's period.
#pragma once

#include <cstddef>
#include <cstdint>

// The index after moving `delta` (+1 or -1) from `current` in a show of `count` pictures, with
// wrap-around both ways; -1 before the first step. An empty show has no index: -1.
std::int32_t StepIndex(std::int32_t current, int delta, std::size_t count);

// The picture timer's period: PictureMillis, or the default when a hand-edited registry holds 0
// or less (a timer of no period would fire continuously).
std::uint32_t PicturePeriod(std::int32_t pictureMillis);
