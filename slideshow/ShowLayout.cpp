#include "slideshow/ShowLayout.h"

#include <algorithm>
#include <tuple>

bool SameLayout(const DisplayLayout& a, const DisplayLayout& b) {
    return a.VirtualScreen == b.VirtualScreen &&
           std::equal(a.Monitors.begin(), a.Monitors.end(), b.Monitors.begin(), b.Monitors.end(),
                      [](const Monitor& m, const Monitor& n) {
                          return m.Bounds == n.Bounds && m.Primary == n.Primary;
                      });
}

std::vector<Rect> ShowAreas(std::vector<Monitor> monitors, const Rect& window) {
    std::stable_sort(monitors.begin(), monitors.end(), [](const Monitor& a, const Monitor& b) {
        return std::make_tuple(!a.Primary, a.Bounds.Left, a.Bounds.Top) <
               std::make_tuple(!b.Primary, b.Bounds.Left, b.Bounds.Top);
    });
    std::vector<Rect> areas;
    for (const Monitor& monitor : monitors) {
        const Rect cut = IntersectRects(monitor.Bounds, window);
        if (!cut.IsEmpty())
            areas.push_back(
                RectAt(cut.Left - window.Left, cut.Top - window.Top, cut.Width(), cut.Height()));
    }
    if (areas.empty()) areas.push_back(RectAt(0, 0, window.Width(), window.Height()));
    return areas;
}

std::int32_t MonitorIndex(std::int32_t baseIndex, std::size_t offset, std::size_t count) {
    if (baseIndex < 0 || count == 0) return -1;
    return static_cast<std::int32_t>((static_cast<std::size_t>(baseIndex) + offset) % count);
}
