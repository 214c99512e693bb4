// Preparing the picture at CurrentIndex for the window: the resource's JPEG bytes decoded, turned
// upright by their EXIF orientation, fitted, centred, resampled and reduced to the display
// (PreparePictureImage), made into the device bitmap PictureBitmap at PictureRect, with the
// caption drawn in.
#include "imaging/Ditherer_win32.h"
#include "imaging/ProcessorInfo.h"
#include "imaging/RasterImage_win32.h"
#include "jpeg/Exif.h"
#include "jpeg/ResourceInputStream.h"
#include "shell/SlideshowWindow_win32.h"
#include "slideshow/PicturePreparation.h"

void SlideshowWindow::PreparePicture() {
    RECT window{};
    GetWindowRect(Handle(), &window);
    RasterImage image;
    Rect placement;
    {
        // An empty show, or an id without its resource, gives a stream the decoder cannot read.
        ResourceInputStream stream;
        if (CurrentIndex >= 0 && static_cast<std::size_t>(CurrentIndex) < PictureIds.size())
            stream.open(PictureIds[static_cast<std::size_t>(CurrentIndex)]);
        PreparePictureImage(stream, window.right - window.left, window.bottom - window.top,
                            Settings_.EnlargeToFit, DisplayBitsPerPixel(WindowDC),
                            processorInfo().hasMmx, image, placement,
                            readExif(stream.unreadBytes(), stream.unreadCount()).orientation);
    }
    // Never selected anywhere at this point, so the deletion succeeds.
    PictureBitmap.Reset();
    if (image.Pixels() != nullptr && image.Width() > 0 && image.Height() > 0)
        PictureBitmap = CreateDeviceBitmap(image, WindowDC);
    if (!PictureBitmap) {
        // Nothing to show (no picture, or no memory for it): an empty slot at the centre, which
        // the transition and the paint leave as background.
        const int x = placement.left + (placement.right - placement.left) / 2;
        const int y = placement.top + (placement.bottom - placement.top) / 2;
        placement = Rect{x, y, x, y};
    }
    PictureRect = RECT{placement.left, placement.top, placement.right, placement.bottom};
    DrawCaption();
}
