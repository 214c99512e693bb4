#include "slideshow/ShowLayout.h"

#include <algorithm>
#include <tuple>

namespace {

auto Tie(const Rect& r) {
    return std::make_tuple(r.left, r.top, r.right, r.bottom);
}

} // namespace

bool SameLayout(const DisplayLayout& a, const DisplayLayout& b) {
    return Tie(a.VirtualScreen) == Tie(b.VirtualScreen) &&
           std::equal(a.Monitors.begin(), a.Monitors.end(), b.Monitors.begin(), b.Monitors.end(),
                      [](const Monitor& m, const Monitor& n) {
                          return Tie(m.Bounds) == Tie(n.Bounds) && m.Primary == n.Primary;
                      });
}

std::vector<Rect> ShowAreas(std::vector<Monitor> monitors, const Rect& window) {
    std::stable_sort(monitors.begin(), monitors.end(), [](const Monitor& a, const Monitor& b) {
        return std::make_tuple(!a.Primary, a.Bounds.left, a.Bounds.top) <
               std::make_tuple(!b.Primary, b.Bounds.left, b.Bounds.top);
    });
    std::vector<Rect> areas;
    for (const Monitor& monitor : monitors) {
        const Rect cut{std::max(monitor.Bounds.left, window.left) - window.left,
                       std::max(monitor.Bounds.top, window.top) - window.top,
                       std::min(monitor.Bounds.right, window.right) - window.left,
                       std::min(monitor.Bounds.bottom, window.bottom) - window.top};
        if (cut.left < cut.right && cut.top < cut.bottom) areas.push_back(cut);
    }
    if (areas.empty())
        areas.push_back(Rect{0, 0, window.right - window.left, window.bottom - window.top});
    return areas;
}

std::int32_t MonitorIndex(std::int32_t baseIndex, std::size_t offset, std::size_t count) {
    if (baseIndex < 0 || count == 0) return -1;
    return static_cast<std::int32_t>((static_cast<std::size_t>(baseIndex) + offset) % count);
}
