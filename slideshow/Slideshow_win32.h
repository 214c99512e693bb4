// The slideshow of one window: the order of the pictures, what the monitors' shows share (the
// window's device context, the halftone palette, the caption brush, the effect order, the picture
// timer) and one MonitorShow per monitor, all stepped together.
//
// How the show runs: the picture timer (or Page Down, Page Up) calls StepPicture, which stops the
// timer, moves the primary monitor's index, and has every monitor prepare its own picture, one
// further on per monitor (decoded, fitted to that monitor, caption drawn in). One frame loop then
// runs every monitor's transition with the same effect, pumping the window's messages between
// frames; the effect order is reshuffled, the window invalidated (the paint copies each picture)
// and the timer restarted, so the next tick comes a whole period after the step's end.
#pragma once

#include "slideshow/MonitorShow_win32.h"
#include "slideshow/PictureWorkspace.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

// The picture timer's id.
constexpr UINT_PTR kPictureTimerId = 1;

class Slideshow {
public:
    // Sets the show up in `window` while it is being created: the catalogue and its order, the
    // palette, the caption brush, one show per area (window coordinates, the primary monitor's
    // first; the preview is one area), the picture timer and the first tick, which is posted so
    // that the first picture comes at once. `settings` belong to the window and outlive the show.
    Slideshow(HWND window, ScreenSaverSettings& settings, bool isPreview,
              const std::vector<Rect>& areas);
    Slideshow(const Slideshow&) = delete;
    Slideshow& operator=(const Slideshow&) = delete;
    // Releases whatever is left: the shows with their bitmaps, contexts and effects, the brush
    // and the palette.
    ~Slideshow();

    // Moves every monitor by delta (+1 or -1) pictures, with the transition when UseEffects is
    // on. Never starts inside another step (a transition pumps messages).
    void StepPicture(int delta);
    // Copies every monitor's picture to its place on `dc`, a device context of the window.
    void Paint(HDC dc) const;
    // Selects and realises the halftone palette, on displays that have one.
    void RealizePalette();
    // The monitors changed: one show per new area, each showing its picture fitted to its area
    // at once. Inside a step it happens when the step ends.
    void ChangeAreas(const std::vector<Rect>& areas);
    // The window is going: no more steps, and the timer, the shows and the brush go now (or when
    // the step that is running ends).
    void Stop();

private:
    void CollectPictures();
    ShowContext Context() const;
    void MakeShows(const std::vector<Rect>& areas);
    void Release();

    HWND Window;
    ScreenSaverSettings& Settings;
    bool IsPreview;
    std::vector<std::int32_t> PictureIds;
    // The primary monitor's index into PictureIds; the others show one picture further on each.
    std::int32_t CurrentIndex = -1;
    // The class gives the window its own device context; it is never released.
    HDC WindowDC = nullptr;
    UniquePalette HalftonePalette;
    // HalftonePalette in WindowDC for the show's life.
    UniquePaletteSelection HalftoneSelected;
    UniqueBrush CaptionBrush;
    std::vector<std::unique_ptr<MonitorShow>> Shows;
    // One for all monitors: its blocks grow to the largest monitor's needs and serve them all,
    // so that no step takes fresh pages once the first pictures are shown.
    mutable PictureWorkspace Workspace;
    // The turns of the effects, one order for all monitors.
    EffectOrder EffectTurns;
    UINT_PTR TimerId = 0;
    // Set while a step runs: a step never starts inside another, and neither the shows nor the
    // surfaces change under it.
    bool Stepping = false;
    bool Stopped = false;
    bool AreasChanged = false;
    std::vector<Rect> NewAreas;
};
