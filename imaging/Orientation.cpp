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
    : Upright(upright), Width(storedWidth > 0 ? storedWidth : 0),
      Height(storedHeight > 0 ? storedHeight : 0), Orientation(ValidOrientation(orientation)) {
    if (SwapsSides(Orientation) && Width > 0 && Height > 0)
        Strip.Allocate(static_cast<std::size_t>(kStripRows) * Width);
}

bool OrientedRows::Ready() const {
    return !SwapsSides(Orientation) || Width == 0 || Height == 0 || Strip;
}

Pixel* OrientedRows::NextRow() {
    if (Row >= Height || !Ready()) return nullptr;
    if (SwapsSides(Orientation)) return Strip.Get() + static_cast<std::size_t>(Held) * Width;
    // 3 and 4 fill the upright picture from the bottom.
    const int y = Orientation >= 3 ? Height - 1 - Row : Row;
    return Upright + static_cast<std::size_t>(y) * Width;
}

void OrientedRows::Commit() {
    if (Row >= Height || !Ready()) return;
    if (!SwapsSides(Orientation)) {
        if (Orientation == 2 || Orientation == 3) {
            Pixel* row = NextRow();
            std::reverse(row, row + Width);
        }
        ++Row;
        return;
    }
    ++Row;
    if (++Held == kStripRows) FlushStrip();
}

void OrientedRows::Finish() {
    for (Pixel* row; (row = NextRow()) != nullptr; Commit())
        std::memset(row, 0, static_cast<std::size_t>(Width) * sizeof(Pixel));
    if (Held > 0) FlushStrip();
}

// The strip holds stored rows row_ - held_ to row_ - 1. Stored column x becomes upright row x (5
// and 6) or W-1-x (7 and 8); its piece of the strip lands in neighbouring upright columns, from
// the stored row's number upwards (5 and 8) or from H-1 minus it downwards (6 and 7). The strip
// is read in tiles of kTileColumns columns, a cache line of each row at a time: its rows lie a
// whole picture row apart, which a column-by-column walk would keep evicting from the cache.
void OrientedRows::FlushStrip() {
    constexpr int kTileColumns = 16;
    const int first = Row - Held;
    const bool columnsForward = Orientation == 5 || Orientation == 8;
    const bool rowsForward = Orientation == 5 || Orientation == 6;
    const int uprightWidth = Height;
    const int start = columnsForward ? first : Height - 1 - first - (Held - 1);
    Pixel tile[kTileColumns][kStripRows];
    for (int x0 = 0; x0 < Width; x0 += kTileColumns) {
        const int columns = std::min(kTileColumns, Width - x0);
        for (int j = 0; j < Held; ++j) {
            const Pixel* in = Strip.Get() + static_cast<std::size_t>(j) * Width + x0;
            const int at = columnsForward ? j : Held - 1 - j;
            for (int i = 0; i < columns; ++i)
                tile[i][at] = in[i];
        }
        for (int i = 0; i < columns; ++i) {
            const int y = rowsForward ? x0 + i : Width - 1 - (x0 + i);
            std::memcpy(Upright + static_cast<std::size_t>(y) * uprightWidth + start, tile[i],
                        static_cast<std::size_t>(Held) * sizeof(Pixel));
        }
    }
    Held = 0;
}
