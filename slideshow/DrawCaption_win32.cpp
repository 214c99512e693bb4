// The caption of a monitor's current picture, drawn into its device bitmap: white text on a box in
// the picture's lower right corner, where every other pixel of the picture is blacked out.
#include "settings/ScreenSaverSettings.h"
#include "slideshow/Caption.h"
#include "slideshow/Caption_win32.h"
#include "slideshow/MonitorShow_win32.h"

std::string LoadCaption(HINSTANCE instance, UINT id) {
    return LoadWholeText(
        [&](char* buffer, int size) { return LoadStringA(instance, id, buffer, size); });
}

void MonitorShow::DrawCaption(const ShowContext& context) {
    // The bitmap is selected into the memory context while it is the current picture.
    if (!PictureBitmap || InitialBitmap == nullptr || CurrentIndex < 0) return;
    const std::string caption =
        LoadCaption(context.Instance,
                    static_cast<UINT>(context.PictureIds[static_cast<std::size_t>(CurrentIndex)]));
    if (!CaptionShown(caption.size(), context.IsPreview, context.Settings.ShowText)) return;

    const HDC dc = MemoryDC.Get();
    const SelectedObject brush(dc, context.CaptionBrush);
    // Measured with the default flags: left-aligned, lines broken only at the caption's newlines.
    RECT measured{};
    DrawTextA(dc, caption.c_str(), -1, &measured, DT_CALCRECT);
    const CaptionPlacement place =
        PlaceCaption(measured.right - measured.left, measured.bottom - measured.top,
                     PictureRect.right - PictureRect.left, PictureRect.bottom - PictureRect.top);
    // The outline (the default black pen) and the pattern's black pixels AND the picture to black;
    // its white pixels leave the picture as it is.
    SetTextColor(dc, RGB(0, 0, 0));
    SetROP2(dc, R2_MASKPEN);
    Rectangle(dc, place.Box.left, place.Box.top, place.Box.right, place.Box.bottom);
    SetROP2(dc, R2_COPYPEN);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text{place.Text.left, place.Text.top, place.Text.right, place.Text.bottom};
    DrawTextA(dc, caption.c_str(), -1, &text, DT_NOCLIP);
}
