// Preparing a monitor's next picture: the resource's JPEG bytes decoded, turned upright by their
// EXIF orientation, fitted, centred, resampled and reduced to the display (PreparePictureImage),
// made into the device bitmap PictureBitmap at PictureRect in the monitor's area, with the caption
// drawn in.
#include "base/ProcessorInfo.h"
#include "imaging/Ditherer_win32.h"
#include "imaging/RasterImage_win32.h"
#include "jpeg/Exif.h"
#include "jpeg/ResourceInputStream.h"
#include "settings/ScreenSaverSettings.h"
#include "slideshow/MonitorShow_win32.h"
#include "slideshow/PicturePreparation.h"
#include "slideshow/PictureWorkspace.h"
#include "slideshow/ShowLayout.h"

void MonitorShow::PreparePicture(const ShowContext& context, std::int32_t baseIndex) {
    OldRect = PictureRect;
    CurrentIndex = MonitorIndex(baseIndex, Offset, context.PictureIds.size());
    RasterImage image;
    Rect placement;
    {
        // An empty show, or an id without its resource, gives a stream the decoder cannot read.
        ResourceInputStream stream;
        if (CurrentIndex >= 0)
            stream.open(context.PictureIds[static_cast<std::size_t>(CurrentIndex)]);
        PreparePictureImage(
            stream, Area.Width(), Area.Height(), context.Settings.EnlargeToFit,
            DisplayBitsPerPixel(context.WindowDC), processorInfo().HasMmx, image, placement,
            readExif(stream.unreadBytes(), stream.unreadCount()).orientation, &context.Workspace);
    }
    // Out of the memory context, so that the deletion succeeds.
    PictureSelected.Reset();
    PictureBitmap.Reset();
    if (image.Pixels() != nullptr && image.Width() > 0 && image.Height() > 0)
        PictureBitmap = CreateDeviceBitmap(image, context.WindowDC);
    // The pixels are in the bitmap now: their buffer serves the next picture.
    context.Workspace.Keep(image);
    if (PictureBitmap && MemoryDC) PictureSelected = Select(MemoryDC.Get(), PictureBitmap.Get());
    if (!PictureBitmap) {
        // Nothing to show (no picture, or no memory for it): an empty slot at the centre, which
        // the transition and the paint leave as background.
        const int x = placement.Left + placement.Width() / 2;
        const int y = placement.Top + placement.Height() / 2;
        placement = Rect{x, y, x, y};
    }
    PictureRect = placement;
    DrawCaption(context);
}
