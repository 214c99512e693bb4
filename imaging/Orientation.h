// Turning and mirroring a picture upright by its EXIF orientation, as the rows come from the
// decoder. The orientation says how the stored picture lies, as TIFF numbers it: a stored pixel
// at column x, row y of a W x H picture stands in the upright picture at
//
//   1 (x, y)            as stored         5 (y, x)            mirrored, turned 90 anticlockwise
//   2 (W-1-x, y)        mirrored          6 (H-1-y, x)        turned 90 clockwise
//   3 (W-1-x, H-1-y)    turned 180        7 (H-1-y, W-1-x)    mirrored, turned 90 clockwise
//   4 (x, H-1-y)        mirrored, 180     8 (y, W-1-x)        turned 90 anticlockwise
//
// Orientations 5 to 8 make the stored rows into columns: the upright picture is H x W.
//
// Each stored row goes straight to its place in the upright picture's buffer, so turning needs no
// second picture buffer: 1 to 4 keep rows as rows (mirrored in place), and 5 to 8 gather
// kStripRows rows in a strip (kStripRows x W pixels) and write each stored column's piece of them
// into its upright row, kStripRows neighbouring pixels at a time.
#pragma once

#include "imaging/PixelBuffer.h"

// Anything but 2 to 8 counts as 1, upright.
int ValidOrientation(int orientation);
// Orientations 5 to 8: the upright picture's width is the stored height and its height the stored
// width.
bool SwapsSides(int orientation);

// Places the stored rows of a picture, top row first, into the buffer of the upright picture.
class OrientedRows {
public:
    static constexpr int kStripRows = 32;

    // upright: room for storedWidth x storedHeight pixels, which become the upright picture
    // (storedHeight x storedWidth for orientations 5 to 8).
    OrientedRows(Pixel* upright, int storedWidth, int storedHeight, int orientation);
    OrientedRows(const OrientedRows&) = delete;
    OrientedRows& operator=(const OrientedRows&) = delete;

    // False when the strip of orientations 5 to 8 could not be allocated.
    bool Ready() const;
    // Where the next stored row's storedWidth pixels go; null once all rows are placed.
    Pixel* NextRow();
    // Places the row just written at NextRow.
    void Commit();
    // Places every row not yet stored as black, and whatever the strip still holds.
    void Finish();

private:
    void FlushStrip();

    Pixel* upright_;
    int width_, height_, orientation_;
    int row_ = 0;  // stored rows placed or held
    int held_ = 0; // of them in the strip, not yet placed
    ImagingBlock<Pixel> strip_;
};
