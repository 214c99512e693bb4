// The caption of the current picture, drawn into its device bitmap: white text on a box in the
// picture's lower right corner, where every other pixel of the picture is blacked out.
#include "shell/SlideshowWindow_win32.h"
#include "slideshow/Caption.h"
#include "slideshow/Caption_win32.h"

std::string LoadCaption(HINSTANCE instance, UINT id) {
    return LoadWholeText(
        [&](char* buffer, int size) { return LoadStringA(instance, id, buffer, size); });
}

void SlideshowWindow::DrawCaption() {
    if (!PictureBitmap || !MemoryDC || CurrentIndex < 0 ||
        static_cast<std::size_t>(CurrentIndex) >= PictureIds.size())
        return;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(Handle(), GWLP_HINSTANCE));
    const std::string caption = LoadCaption(
        instance, static_cast<UINT>(PictureIds[static_cast<std::size_t>(CurrentIndex)]));
    if (!CaptionShown(caption.size(), IsPreview, Settings_.ShowText)) return;

    const HDC dc = MemoryDC.Get();
    const SelectedObject brush(dc, CaptionBrush.Get());
    const SelectedObject bitmap(dc, PictureBitmap.Get());
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
