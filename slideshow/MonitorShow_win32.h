// The show on one monitor: its area of the window, the picture it shows, that picture's device
// bitmap and place with the caption drawn in, and the transition effects built for its size. The
// monitor is a screen of its own: its pictures are fitted and centred in its area, and its effects
// run in its coordinates. A Slideshow holds one per monitor (the preview is one area) and steps
// them together.
#pragma once

#include "base/Handles_win32.h"
#include "imaging/EffectSurface_win32.h"
#include "slideshow/Transition.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class PictureWorkspace;
class ScreenSaverSettings;

// What the shows of one window share.
struct ShowContext {
    // The module whose resources hold the pictures and their captions.
    HINSTANCE Instance;
    // The window's own device context: the display the pictures are prepared for.
    HDC WindowDC;
    HBRUSH CaptionBrush;
    // The show order: picture (and caption) resource ids.
    const std::vector<std::int32_t>& PictureIds;
    const ScreenSaverSettings& Settings;
    bool IsPreview;
    // The large blocks of preparation, kept from picture to picture for every monitor.
    PictureWorkspace& Workspace;
};

class MonitorShow {
public:
    // The show on the monitor at `area` (window coordinates), `offset` places after the primary
    // monitor in show order, with the enabled effects built for the monitor's size.
    MonitorShow(const Rect& area, std::size_t offset, HDC windowDC, ScreenSaverSettings& settings);
    MonitorShow(const MonitorShow&) = delete;
    MonitorShow& operator=(const MonitorShow&) = delete;

    // Moves to the picture `offset` places on from the primary monitor's `baseIndex` and makes it
    // the current picture, keeping the place of the one it replaces for the transition.
    void PreparePicture(const ShowContext& context, std::int32_t baseIndex);
    // This monitor's part of the transition to the current picture, with the effect at `place`
    // of its list; false when there is nothing to draw (no memory context, or from no picture to
    // no picture).
    bool GetTransitionPart(std::size_t place, TransitionPart& part);
    // Copies the current picture to its place on `dc`, a device context of the window.
    void Paint(HDC dc) const;

    // The effects built for it, alike on every monitor.
    std::size_t EffectCount() const { return Effects.size(); }

private:
    void DrawCaption(const ShowContext& context);

    Rect Area;
    std::size_t Offset;
    std::int32_t CurrentIndex = -1;
    // Declared before MemoryDC and the selection, so that the bitmap is deleted only after it
    // left the context.
    UniqueBitmap PictureBitmap;
    // Where the picture stands in the monitor's area; and where the one before it stood.
    Rect PictureRect;
    Rect OldRect;
    // Holds PictureBitmap from its preparation until the next picture replaces it, so that the
    // transitions of all monitors copy from their own contexts in one frame loop. What it held
    // when it was made goes back in (the selection ends) before the bitmap is deleted.
    UniqueDc MemoryDC;
    UniqueSelection PictureSelected;
    DeviceContextSurface Surface;
    EffectList Effects;
};
