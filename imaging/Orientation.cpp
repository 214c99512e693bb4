#include "imaging/Orientation.h"

#include <algorithm>
#include <cstring>

int ValidOrientation(int orientation) {
    return orientation >= 2 && orientation <= 8 ? orientation : 1;
}

bool SwapsSides(int orientation) {
    return ValidOrientation(orientation) >= 5;
}

OrientedRows::OrientedRows(Pixel* upright, int storedWidth, int storedHeight, int orientation)
    : upright_(upright), width_(storedWidth > 0 ? storedWidth : 0),
      height_(storedHeight > 0 ? storedHeight : 0), orientation_(ValidOrientation(orientation)) {
    if (SwapsSides(orientation_) && width_ > 0 && height_ > 0)
        strip_.Allocate(static_cast<std::size_t>(kStripRows) * width_);
}

bool OrientedRows::Ready() const {
    return !SwapsSides(orientation_) || width_ == 0 || height_ == 0 || strip_;
}

Pixel* OrientedRows::NextRow() {
    if (row_ >= height_ || !Ready()) return nullptr;
    if (SwapsSides(orientation_)) return strip_.Get() + static_cast<std::size_t>(held_) * width_;
    // 3 and 4 fill the upright picture from the bottom.
    const int y = orientation_ >= 3 ? height_ - 1 - row_ : row_;
    return upright_ + static_cast<std::size_t>(y) * width_;
}

void OrientedRows::Commit() {
    if (row_ >= height_ || !Ready()) return;
    if (!SwapsSides(orientation_)) {
        if (orientation_ == 2 || orientation_ == 3) {
            Pixel* row = NextRow();
            std::reverse(row, row + width_);
        }
        ++row_;
        return;
    }
    ++row_;
    if (++held_ == kStripRows) FlushStrip();
}

void OrientedRows::Finish() {
    for (Pixel* row; (row = NextRow()) != nullptr; Commit())
        std::memset(row, 0, static_cast<std::size_t>(width_) * sizeof(Pixel));
    if (held_ > 0) FlushStrip();
}

// The strip holds stored rows row_ - held_ to row_ - 1. Stored column x becomes upright row x (5
// and 6) or W-1-x (7 and 8); its piece of the strip lands in neighbouring upright columns, from
// the stored row's number upwards (5 and 8) or from H-1 minus it downwards (6 and 7). The strip
// is read in tiles of kTileColumns columns, a cache line of each row at a time: its rows lie a
// whole picture row apart, which a column-by-column walk would keep evicting from the cache.
void OrientedRows::FlushStrip() {
    constexpr int kTileColumns = 16;
    const int first = row_ - held_;
    const bool columnsForward = orientation_ == 5 || orientation_ == 8;
    const bool rowsForward = orientation_ == 5 || orientation_ == 6;
    const int uprightWidth = height_;
    const int start = columnsForward ? first : height_ - 1 - first - (held_ - 1);
    Pixel tile[kTileColumns][kStripRows];
    for (int x0 = 0; x0 < width_; x0 += kTileColumns) {
        const int columns = std::min(kTileColumns, width_ - x0);
        for (int j = 0; j < held_; ++j) {
            const Pixel* in = strip_.Get() + static_cast<std::size_t>(j) * width_ + x0;
            const int at = columnsForward ? j : held_ - 1 - j;
            for (int i = 0; i < columns; ++i)
                tile[i][at] = in[i];
        }
        for (int i = 0; i < columns; ++i) {
            const int y = rowsForward ? x0 + i : width_ - 1 - (x0 + i);
            std::memcpy(upright_ + static_cast<std::size_t>(y) * uprightWidth + start, tile[i],
                        static_cast<std::size_t>(held_) * sizeof(Pixel));
        }
    }
    held_ = 0;
}
