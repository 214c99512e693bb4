#include "imaging/LinesEffect.h"

#include "imaging/EffectGeometry.h"

namespace {

Rect Transposed(const Rect& r) {
    return {r.Top, r.Left, r.Bottom, r.Right};
}

} // namespace

void LinesEffect::Begin(const Rect& oldRect, const Rect& newRect) {
    const Rect u = UnionRects(oldRect, newRect);
    UnionRect = Rows ? Transposed(u) : u;
    NewRect = newRect.IsEmpty() ? Rect{} : Rows ? Transposed(newRect) : newRect;
    const std::int64_t width = std::int64_t{UnionRect.Right} - UnionRect.Left;
    TotalUnits = (width & 1) + (width >> 1);
    UnitsDone = 0;
    ForwardCursor = UnionRect.Left;
    BackwardCursor = std::int64_t{UnionRect.Right} - 1;
    if (((BackwardCursor ^ UnionRect.Left) & 1) == 0) --BackwardCursor;
}

void LinesEffect::Step(EffectSurface& surface, float progress) {
    for (const std::int64_t due = UnitsDue(TotalUnits, UnitsDone, progress); UnitsDone < due;
         ++UnitsDone) {
        if (ForwardCursor < UnionRect.Right) {
            DrawLine(surface, static_cast<std::int32_t>(ForwardCursor));
            ForwardCursor += 2;
        }
        if (BackwardCursor >= UnionRect.Left) {
            DrawLine(surface, static_cast<std::int32_t>(BackwardCursor));
            BackwardCursor -= 2;
        }
    }
}

void LinesEffect::DrawLine(EffectSurface& surface, std::int32_t line) const {
    const Rect& u = UnionRect;
    const Rect& n = NewRect;
    if (line < n.Left || line >= n.Right) {
        Black(surface, line, u.Top, u.Bottom - u.Top);
        return;
    }
    // The bands beside the new picture reach to the union's edges, which hold the old picture's:
    // with no old picture there are none.
    Black(surface, line, u.Top, n.Top - u.Top);
    Black(surface, line, n.Bottom, u.Bottom - n.Bottom);
    if (Rows)
        surface.CopyPicture(n.Top, line, n.Bottom - n.Top, 1, 0, line - n.Left);
    else
        surface.CopyPicture(line, n.Top, 1, n.Bottom - n.Top, line - n.Left, 0);
}

void LinesEffect::Black(EffectSurface& surface, std::int32_t line, std::int32_t from,
                        std::int32_t length) const {
    if (length <= 0) return;
    if (Rows)
        surface.PaintBlack(from, line, length, 1);
    else
        surface.PaintBlack(line, from, 1, length);
}
