#include "imaging/LinesEffect.h"

#include "imaging/EffectGeometry.h"

namespace {

Rect Transposed(const Rect& r) {
    return {r.top, r.left, r.bottom, r.right};
}

} // namespace

void LinesEffect::Begin(const Rect& oldRect, const Rect& newRect) {
    const Rect u = UnionRects(oldRect, newRect);
    unionRect = rows ? Transposed(u) : u;
    this->newRect = IsEmptyRect(newRect) ? Rect{} : rows ? Transposed(newRect) : newRect;
    const std::int64_t width = std::int64_t{unionRect.right} - unionRect.left;
    totalUnits = (width & 1) + (width >> 1);
    unitsDone = 0;
    forwardCursor = unionRect.left;
    backwardCursor = std::int64_t{unionRect.right} - 1;
    if (((backwardCursor ^ unionRect.left) & 1) == 0) --backwardCursor;
}

void LinesEffect::Step(EffectSurface& surface, float progress) {
    for (const std::int64_t due = UnitsDue(totalUnits, unitsDone, progress); unitsDone < due;
         ++unitsDone) {
        if (forwardCursor < unionRect.right) {
            DrawLine(surface, static_cast<std::int32_t>(forwardCursor));
            forwardCursor += 2;
        }
        if (backwardCursor >= unionRect.left) {
            DrawLine(surface, static_cast<std::int32_t>(backwardCursor));
            backwardCursor -= 2;
        }
    }
}

void LinesEffect::DrawLine(EffectSurface& surface, std::int32_t line) const {
    const Rect& u = unionRect;
    const Rect& n = newRect;
    if (line < n.left || line >= n.right) {
        Black(surface, line, u.top, u.bottom - u.top);
        return;
    }
    // The bands beside the new picture reach to the union's edges, which hold the old picture's:
    // with no old picture there are none.
    Black(surface, line, u.top, n.top - u.top);
    Black(surface, line, n.bottom, u.bottom - n.bottom);
    if (rows)
        surface.CopyPicture(n.top, line, n.bottom - n.top, 1, 0, line - n.left);
    else
        surface.CopyPicture(line, n.top, 1, n.bottom - n.top, line - n.left, 0);
}

void LinesEffect::Black(EffectSurface& surface, std::int32_t line, std::int32_t from,
                        std::int32_t length) const {
    if (length <= 0) return;
    if (rows)
        surface.PaintBlack(from, line, length, 1);
    else
        surface.PaintBlack(line, from, 1, length);
}
