// "Vertical lines" and "Horizontal lines": the union of the old and the new picture is redrawn
// one line (a column, or a row) at a time. Each unit draws up to two lines: one from a cursor
// that steps rightwards (downwards) over the lines at even offsets from the left (top) edge, one
// from a cursor that steps back over the lines at odd offsets from the right (bottom) edge, so
// the picture fills in from both sides at once. A line shows the new picture where it crosses
// it and black everywhere else in the union.
#pragma once

#include "imaging/TransitionEffect.h"

#include <cstdint>

class LinesEffect : public TransitionEffect {
public:
    void Begin(const Rect& oldRect, const Rect& newRect) override;
    void Step(EffectSurface& surface, float progress) override;
    // Nothing to release.
    void End() override {}

protected:
    // rows: the lines are rows (horizontal); otherwise columns.
    LinesEffect(int cx, int cy, bool rows) : TransitionEffect(cx, cy), Rows(rows) {}

private:
    void DrawLine(EffectSurface& surface, std::int32_t line) const;
    void Black(EffectSurface& surface, std::int32_t line, std::int32_t from,
               std::int32_t length) const;

    const bool Rows;
    // Both rectangles seen with the lines as columns: for rows, x and y are swapped. An empty
    // new rectangle is kept as all zeros, so that no line crosses it.
    Rect NewRect, UnionRect;
    // 64-bit, so that stepping past either edge cannot overflow whatever the coordinates.
    std::int64_t ForwardCursor = 0, BackwardCursor = 0;
    std::int64_t UnitsDone = 0, TotalUnits = 0;
};

class VerticalLinesEffect final : public LinesEffect {
public:
    VerticalLinesEffect(int cx, int cy) : LinesEffect(cx, cy, false) {}
};

class HorizontalLinesEffect final : public LinesEffect {
public:
    HorizontalLinesEffect(int cx, int cy) : LinesEffect(cx, cy, true) {}
};
