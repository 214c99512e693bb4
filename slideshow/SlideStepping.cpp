#include "slideshow/SlideStepping.h"

#include "settings/ScreenSaverSettings.h"

std::int32_t StepIndex(std::int32_t current, int delta, std::size_t count) {
    if (count == 0) return -1;
    const auto last = static_cast<std::int64_t>(count) - 1;
    std::int64_t next = static_cast<std::int64_t>(current) + delta;
    if (next < 0) next = last;
    if (next > last) next = 0;
    return static_cast<std::int32_t>(next);
}

std::uint32_t PicturePeriod(std::int32_t pictureMillis) {
    if (pictureMillis <= 0) pictureMillis = ScreenSaverSettings().PictureMillis;
    return static_cast<std::uint32_t>(pictureMillis);
}
