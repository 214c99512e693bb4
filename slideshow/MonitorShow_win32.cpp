#include "slideshow/MonitorShow_win32.h"

MonitorShow::MonitorShow(const Rect& area, std::size_t offset, HDC windowDC,
                         ScreenSaverSettings& settings)
    : Area(area), Offset(offset), MemoryDC(CreateCompatibleDC(windowDC)),
      Surface(windowDC, MemoryDC.Get(), area.Left, area.Top),
      Effects(CreateEffects(settings, area.Width(), area.Height())) {
    if (MemoryDC) SetBkMode(MemoryDC.Get(), TRANSPARENT);
}

bool MonitorShow::GetTransitionPart(std::size_t place, TransitionPart& part) {
    if (!MemoryDC || place >= Effects.size() || (OldRect.IsEmpty() && PictureRect.IsEmpty()))
        return false;
    part = TransitionPart{Effects[place].get(), &Surface, OldRect, PictureRect};
    return true;
}

void MonitorShow::Paint(HDC dc) const {
    if (!PictureBitmap || !MemoryDC) return;
    BitBlt(dc, Area.Left + PictureRect.Left, Area.Top + PictureRect.Top, PictureRect.Width(),
           PictureRect.Height(), MemoryDC.Get(), 0, 0, SRCCOPY);
}
