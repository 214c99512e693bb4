// The show inside the slideshow window: the set-up when the window is created (catalogue, order,
// drawing surfaces, caption brush, effects, picture timer, first tick), and one step per timer
// tick or paging key.
#include "imaging/EffectSurface_win32.h"
#include "resources/ResourceIds.h"
#include "shell/SlideshowWindow_win32.h"
#include "slideshow/RandomSource.h"
#include "slideshow/SlideStepping.h"
#include "slideshow/TransitionHost_win32.h"

namespace {

BOOL CALLBACK AddPictureId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    // Pictures are known by number; a resource named by a string is none of ours.
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::int32_t>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

Rect ToRect(const RECT& rect) {
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

bool IsEmpty(const RECT& rect) {
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

} // namespace

void SlideshowWindow::SetUpShow(const CREATESTRUCTA& create) {
    CollectPictures();
    if (Settings_.RandomOrder) {
        ShowRandomSource().Seed(GetTickCount());
        ShuffleCyclic(PictureIds, ShowRandomSource());
    }

    WindowDC = GetDC(Handle());
    if ((GetDeviceCaps(WindowDC, RASTERCAPS) & RC_PALETTE) != 0) {
        HalftonePalette.Reset(CreateHalftonePalette(WindowDC));
        if (HalftonePalette) {
            SelectPalette(WindowDC, HalftonePalette.Get(), FALSE);
            RealizePalette(WindowDC);
        }
    }
    // The brush keeps its own copy of the pattern; the bitmap goes at the end of the set-up.
    GdiObject<HBITMAP> pattern(
        LoadBitmapA(create.hInstance, MAKEINTRESOURCEA(IDB_CAPTION_PATTERN)));
    if (pattern) CaptionBrush.Reset(CreatePatternBrush(pattern.Get()));
    MemoryDC.Reset(CreateCompatibleDC(WindowDC));
    if (MemoryDC) SetBkMode(MemoryDC.Get(), TRANSPARENT);

    // The first transition of a run uses the first enabled effect.
    Effects = CreateEffects(Settings_, create.cx, create.cy);
    PictureRect = RECT{};
    TimerId = SetTimer(Handle(), kPictureTimerId, PicturePeriod(Settings_.PictureMillis), nullptr);
    // The first step comes at once, not a period later.
    PostMessageA(Handle(), WM_TIMER, 0, 0);
}

void SlideshowWindow::CollectPictures() {
    const auto module = reinterpret_cast<HMODULE>(GetWindowLongPtrA(Handle(), GWLP_HINSTANCE));
    EnumResourceNamesA(module, RT_RCDATA, &AddPictureId, reinterpret_cast<LONG_PTR>(&PictureIds));
}

void SlideshowWindow::StepPicture(int delta) {
    if (Stepping) return;
    Stepping = true;
    KillTimer(Handle(), kPictureTimerId);
    const RECT oldRect = PictureRect;
    CurrentIndex = StepIndex(CurrentIndex, delta, PictureIds.size());
    PreparePicture();
    {
        // Selected for the transition only: afterwards the bitmap is selected nowhere and can be
        // deleted when the next picture replaces it.
        const SelectedObject picture(MemoryDC.Get(), PictureBitmap.Get());
        // From nothing to nothing (a show without pictures) there is nothing to draw.
        if (Settings_.UseEffects && MemoryDC && !(IsEmpty(oldRect) && IsEmpty(PictureRect))) {
            DeviceContextSurface surface(WindowDC, MemoryDC.Get());
            WindowTransitionHost host(Handle(), Settings_.EnableKeys);
            RunNextTransition(Effects, surface, ToRect(oldRect), ToRect(PictureRect),
                              Settings_.EffectMillis, host, ShowRandomSource());
        }
    }
    // Without transitions the background is erased black and the paint copies the new picture;
    // with them the final frame has drawn everything already.
    InvalidateRect(Handle(), nullptr, Settings_.UseEffects ? FALSE : TRUE);
    TimerId = SetTimer(Handle(), kPictureTimerId, PicturePeriod(Settings_.PictureMillis), nullptr);
    Stepping = false;
    gShowProgress.StepDone();
}

void SlideshowWindow::ReleaseShow() {
    // The palette stays selected into the window's own context until the window is gone; select
    // the stock palette back before the object deletes it.
    if (HalftonePalette && WindowDC != nullptr)
        SelectPalette(WindowDC, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), TRUE);
}
