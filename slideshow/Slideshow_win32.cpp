#include "slideshow/Slideshow_win32.h"

#include "resources/ResourceIds.h"
#include "settings/ScreenSaverSettings.h"
#include "slideshow/RandomSource.h"
#include "slideshow/ShowHooks.h"
#include "slideshow/SlideStepping.h"
#include "slideshow/TransitionHost_win32.h"

namespace {

BOOL CALLBACK AddPictureId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    // Pictures are known by number; a resource named by a string is none of ours.
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::int32_t>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

HINSTANCE InstanceOf(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

} // namespace

Slideshow::Slideshow(HWND window, ScreenSaverSettings& settings, bool isPreview,
                     const std::vector<Rect>& areas)
    : Window(window), Settings(settings), IsPreview(isPreview) {
    CollectPictures();
    if (Settings.RandomOrder) {
        ShowRandomSource().Seed(GetTickCount());
        ShuffleCyclic(PictureIds, ShowRandomSource());
    }

    WindowDC = GetDC(Window);
    if ((GetDeviceCaps(WindowDC, RASTERCAPS) & RC_PALETTE) != 0) {
        HalftonePalette.Reset(CreateHalftonePalette(WindowDC));
        if (HalftonePalette) {
            HalftoneSelected = SelectPaletteInto(WindowDC, HalftonePalette.Get(), false);
            ::RealizePalette(WindowDC);
        }
    }
    // The brush keeps its own copy of the pattern; the bitmap goes at the end of the set-up.
    const UniqueBitmap pattern(
        LoadBitmapA(InstanceOf(Window), MAKEINTRESOURCEA(IDB_CAPTION_PATTERN)));
    if (pattern) CaptionBrush.Reset(CreatePatternBrush(pattern.Get()));

    // Every monitor's effects are built alike: the first transition of a run uses the first
    // enabled effect on all of them.
    MakeShows(areas);
    EffectTurns = EffectOrder(Shows.empty() ? 0 : Shows.front()->EffectCount());
    TimerId = SetTimer(Window, kPictureTimerId, PicturePeriod(Settings.PictureMillis), nullptr);
    // The first step comes at once, not a period later.
    PostMessageA(Window, WM_TIMER, 0, 0);
}

Slideshow::~Slideshow() {
    Release();
}

void Slideshow::CollectPictures() {
    EnumResourceNamesA(InstanceOf(Window), RT_RCDATA, &AddPictureId,
                       reinterpret_cast<LONG_PTR>(&PictureIds));
}

ShowContext Slideshow::Context() const {
    return ShowContext{InstanceOf(Window), WindowDC,  CaptionBrush.Get(), PictureIds,
                       Settings,           IsPreview, Workspace};
}

void Slideshow::MakeShows(const std::vector<Rect>& areas) {
    Shows.clear();
    for (std::size_t offset = 0; offset < areas.size(); ++offset)
        Shows.push_back(std::make_unique<MonitorShow>(areas[offset], offset, WindowDC, Settings));
}

void Slideshow::StepPicture(int delta) {
    if (Stepping || Stopped) return;
    Stepping = true;
    KillTimer(Window, kPictureTimerId);
    CurrentIndex = StepIndex(CurrentIndex, delta, PictureIds.size());
    const ShowContext context = Context();
    for (const auto& show : Shows)
        show->PreparePicture(context, CurrentIndex);
    if (Settings.UseEffects && !EffectTurns.Empty()) {
        std::vector<TransitionPart> parts;
        for (const auto& show : Shows)
            if (TransitionPart part{}; show->GetTransitionPart(EffectTurns.Next(), part))
                parts.push_back(part);
        // From nothing to nothing (a show without pictures) there is nothing to draw.
        if (!parts.empty()) {
            WindowTransitionHost host(Window, Settings.EnableKeys);
            RunTransition(parts, Settings.EffectMillis, host);
            EffectTurns.Advance(ShowRandomSource());
        }
    }
    // Without transitions the background is erased black and the paint copies the new pictures;
    // with them the final frame has drawn everything already.
    InvalidateRect(Window, nullptr, Settings.UseEffects ? FALSE : TRUE);
    Stepping = false;
    if (Stopped) {
        Release();
    } else {
        TimerId = SetTimer(Window, kPictureTimerId, PicturePeriod(Settings.PictureMillis), nullptr);
        if (AreasChanged) ChangeAreas(NewAreas);
    }
    AfterShowStep();
}

void Slideshow::Paint(HDC dc) const {
    for (const auto& show : Shows)
        show->Paint(dc);
}

void Slideshow::RealizePalette() {
    if (!HalftonePalette || WindowDC == nullptr) return;
    const UniquePaletteSelection palette =
        SelectPaletteInto(WindowDC, HalftonePalette.Get(), false);
    ::RealizePalette(WindowDC);
}

void Slideshow::ChangeAreas(const std::vector<Rect>& areas) {
    if (Stopped) return;
    if (Stepping) {
        AreasChanged = true;
        NewAreas = areas;
        return;
    }
    AreasChanged = false;
    MakeShows(areas);
    const ShowContext context = Context();
    if (CurrentIndex >= 0)
        for (const auto& show : Shows)
            show->PreparePicture(context, CurrentIndex);
    InvalidateRect(Window, nullptr, TRUE);
}

void Slideshow::Stop() {
    KillTimer(Window, TimerId);
    Stopped = true;
    if (!Stepping) Release();
}

void Slideshow::Release() {
    Shows.clear();
    CaptionBrush.Reset();
    // The palette stays selected into the window's own context until the show goes; the palette
    // it replaced goes back in before it is deleted.
    HalftoneSelected.Reset();
}
