// Where the show runs on a desktop of several monitors: one area per monitor, in the order in
// which the monitors take their pictures, and the picture each one shows.
#pragma once

#include "imaging/TransitionEffect.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A monitor as the system reports it: its rectangle in screen coordinates (the primary monitor's
// top left corner is 0, 0; a monitor left of or above it has negative coordinates).
struct Monitor {
    Rect Bounds;
    bool Primary = false;
};

// The desktop: the virtual screen (the rectangle that holds every monitor) and the monitors.
struct DisplayLayout {
    Rect VirtualScreen;
    std::vector<Monitor> Monitors;
};
bool SameLayout(const DisplayLayout& a, const DisplayLayout& b);

// The areas of a show in a window at `window` (screen coordinates) over `monitors`: the primary
// monitor first, then the others by their left edge and then their top edge, each cut to the
// window and moved into window coordinates. Monitors outside the window are left out; without
// any (or with no monitors at all) the whole window is the one area.
std::vector<Rect> ShowAreas(std::vector<Monitor> monitors, const Rect& window);

// The index of the picture shown on the monitor `offset` places after the primary one in show
// order, when the primary one shows `baseIndex` of `count`: one picture further on per place,
// wrapping, so that with fewer pictures than monitors pictures repeat. -1 before the first step
// (baseIndex -1) and in an empty show.
std::int32_t MonitorIndex(std::int32_t baseIndex, std::size_t offset, std::size_t count);
