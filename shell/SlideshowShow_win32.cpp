// The slideshow's hooks into the window. For now the window stays black: the drawing surfaces and
// the picture timer are set up, but there is no catalogue, no picture preparation and no effect
// yet. Those plug in here: the catalogue, its order, the caption brush and the effects in
// SetUpShow; index stepping, PreparePicture and the transition in StepPicture.
#include "shell/SlideshowWindow_win32.h"

void SlideshowWindow::SetUpShow(const CREATESTRUCTA&) {
    WindowDC = GetDC(Handle());
    if ((GetDeviceCaps(WindowDC, RASTERCAPS) & RC_PALETTE) != 0) {
        HalftonePalette.Reset(CreateHalftonePalette(WindowDC));
        if (HalftonePalette) {
            SelectPalette(WindowDC, HalftonePalette.Get(), FALSE);
            RealizePalette(WindowDC);
        }
    }
    MemoryDC.Reset(CreateCompatibleDC(WindowDC));
    if (MemoryDC) SetBkMode(MemoryDC.Get(), TRANSPARENT);
    PictureRect = RECT{};
    TimerId =
        SetTimer(Handle(), kPictureTimerId, static_cast<UINT>(Settings_.PictureMillis), nullptr);
    // The first step comes at once, not a period later.
    PostMessageA(Handle(), WM_TIMER, 0, 0);
}

void SlideshowWindow::StepPicture(int) {
    KillTimer(Handle(), kPictureTimerId);
    InvalidateRect(Handle(), nullptr, Settings_.UseEffects ? FALSE : TRUE);
    TimerId =
        SetTimer(Handle(), kPictureTimerId, static_cast<UINT>(Settings_.PictureMillis), nullptr);
}

void SlideshowWindow::ReleaseShow() {
    // The palette stays selected into the window's own context until the window is gone; select
    // the stock palette back before the object deletes it.
    if (HalftonePalette && WindowDC != nullptr)
        SelectPalette(WindowDC, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), TRUE);
}
