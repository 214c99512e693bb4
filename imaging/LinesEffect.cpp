#include "imaging/LinesEffect.h"

#include "imaging/EffectGeometry.h"

namespace {

Rect Transposed(const Rect& r) {
    return {r.Top, r.Left, r.Bottom, r.Right};
}

} // namespace

void LinesEffect::Begin(const Rect& oldRect, const Rect& newRect) {
    const Rect u = UnionRects(oldRect, newRect);
    unionRect = rows ? Transposed(u) : u;
    this->newRect = newRect.IsEmpty() ? Rect{} : rows ? Transposed(newRect) : newRect;
    const std::int64_t width = std::int64_t{unionRect.Right} - unionRect.Left;
    totalUnits = (width & 1) + (width >> 1);
    unitsDone = 0;
    forwardCursor = unionRect.Left;
    backwardCursor = std::int64_t{unionRect.Right} - 1;
    if (((backwardCursor ^ unionRect.Left) & 1) == 0) --backwardCursor;
}

void LinesEffect::Step(EffectSurface& surface, float progress) {
    for (const std::int64_t due = UnitsDue(totalUnits, unitsDone, progress); unitsDone < due;
         ++unitsDone) {
        if (forwardCursor < unionRect.Right) {
            DrawLine(surface, static_cast<std::int32_t>(forwardCursor));
            forwardCursor += 2;
        }
        if (backwardCursor >= unionRect.Left) {
            DrawLine(surface, static_cast<std::int32_t>(backwardCursor));
            backwardCursor -= 2;
        }
    }
}

void LinesEffect::DrawLine(EffectSurface& surface, std::int32_t line) const {
    const Rect& u = unionRect;
    const Rect& n = newRect;
    if (line < n.Left || line >= n.Right) {
        Black(surface, line, u.Top, u.Bottom - u.Top);
        return;
    }
    // The bands beside the new picture reach to the union's edges, which hold the old picture's:
    // with no old picture there are none.
    Black(surface, line, u.Top, n.Top - u.Top);
    Black(surface, line, n.Bottom, u.Bottom - n.Bottom);
    if (rows)
        surface.CopyPicture(n.Top, line, n.Bottom - n.Top, 1, 0, line - n.Left);
    else
        surface.CopyPicture(line, n.Top, 1, n.Bottom - n.Top, line - n.Left, 0);
}

void LinesEffect::Black(EffectSurface& surface, std::int32_t line, std::int32_t from,
                        std::int32_t length) const {
    if (length <= 0) return;
    if (rows)
        surface.PaintBlack(from, line, length, 1);
    else
        surface.PaintBlack(line, from, 1, length);
}
