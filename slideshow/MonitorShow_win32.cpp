#include "slideshow/MonitorShow_win32.h"

namespace {

Rect ToRect(const RECT& rect) {
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

bool IsEmpty(const RECT& rect) {
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

} // namespace

MonitorShow::MonitorShow(const Rect& area, std::size_t offset, HDC windowDC,
                         ScreenSaverSettings& settings)
    : Area(area), Offset(offset), MemoryDC(CreateCompatibleDC(windowDC)),
      Surface(windowDC, MemoryDC.Get(), area.left, area.top),
      Effects(CreateEffects(settings, area.right - area.left, area.bottom - area.top)) {
    if (MemoryDC) SetBkMode(MemoryDC.Get(), TRANSPARENT);
}

MonitorShow::~MonitorShow() {
    // The bitmap leaves the context first, so that both go.
    if (MemoryDC && InitialBitmap != nullptr) SelectObject(MemoryDC.Get(), InitialBitmap);
}

bool MonitorShow::GetTransitionPart(std::size_t place, TransitionPart& part) {
    if (!MemoryDC || place >= Effects.size() || (IsEmpty(OldRect) && IsEmpty(PictureRect)))
        return false;
    part = TransitionPart{Effects[place].get(), &Surface, ToRect(OldRect), ToRect(PictureRect)};
    return true;
}

void MonitorShow::Paint(HDC dc) const {
    if (!PictureBitmap || !MemoryDC) return;
    BitBlt(dc, Area.left + PictureRect.left, Area.top + PictureRect.top,
           PictureRect.right - PictureRect.left, PictureRect.bottom - PictureRect.top,
           MemoryDC.Get(), 0, 0, SRCCOPY);
}
