#include "imaging/CheckersEffect.h"

#include "imaging/EffectGeometry.h"

#include <vector>

const CellOrderRow CellOrderTable[9] = {
    {307200, 307201, 63},   {480000, 480013, 45},   {786432, 786433, 37},
    {995328, 995329, 61},   {983040, 983063, 29},   {1228800, 1228837, 42},
    {1310720, 1310723, 28}, {1440000, 1440011, 54}, {1638400, 1638431, 28},
};

namespace {

// Squares of numbers below p < 2^31 need 62 bits.
std::uint64_t PowerModulo(std::uint64_t base, std::uint64_t exponent, std::uint64_t p) {
    std::uint64_t result = 1;
    for (base %= p; exponent != 0; exponent >>= 1, base = base * base % p)
        if ((exponent & 1) != 0) result = result * base % p;
    return result;
}

std::vector<std::int32_t> DistinctPrimeFactors(std::int32_t m) {
    std::vector<std::int32_t> factors;
    for (std::int32_t q = 2; static_cast<std::int64_t>(q) * q <= m; ++q)
        if (m % q == 0) {
            factors.push_back(q);
            while (m % q == 0)
                m /= q;
        }
    if (m > 1) factors.push_back(m);
    return factors;
}

bool IsPrimitiveRoot(std::int64_t c, std::int32_t p, const std::vector<std::int32_t>& factors) {
    if (c % p == 0) return false;
    for (const std::int32_t q : factors)
        if (PowerModulo(static_cast<std::uint64_t>(c), static_cast<std::uint64_t>((p - 1) / q),
                        static_cast<std::uint64_t>(p)) == 1)
            return false;
    return true;
}

} // namespace

bool IsPrimitiveRoot(std::int64_t c, std::int32_t p) {
    return IsPrimitiveRoot(c, p, DistinctPrimeFactors(p - 1));
}

std::int32_t SmallestPrimeAbove(std::int32_t n) {
    for (std::int32_t candidate = n + 1 + (n & 1);; candidate += 2) {
        bool prime = true;
        for (std::int32_t k = 3; prime && static_cast<std::int64_t>(k) * k <= candidate; k += 2)
            prime = candidate % k != 0;
        if (prime) return candidate;
    }
}

std::int32_t CellOrderGenerator(std::int32_t p) {
    // Primitive roots are dense: for every prime up to the largest a grid can need (above
    // MaxCells) the second one is at most 141, so this loop is short. p = 3 has only the root 2.
    const std::vector<std::int32_t> factors = DistinctPrimeFactors(p - 1);
    std::int32_t first = 0;
    for (std::int32_t c = 2; c < p; ++c)
        if (IsPrimitiveRoot(c, p, factors)) {
            if (first != 0) return c;
            first = c;
        }
    return first;
}

CellOrder MakeCellOrder(std::int32_t n) {
    for (const CellOrderRow& row : CellOrderTable)
        if (row.Cells == n) return {row.G, row.P, n, 1};
    const std::int32_t p = SmallestPrimeAbove(n);
    return {CellOrderGenerator(p), p, n, 1};
}

void CheckersEffect::Begin(const Rect& oldRect, const Rect& newRect) {
    UnionRect = UnionRects(oldRect, newRect);
    NewRect = newRect;
    const std::int64_t width = std::int64_t{UnionRect.Right} - UnionRect.Left;
    const std::int64_t height = std::int64_t{UnionRect.Bottom} - UnionRect.Top;
    std::int64_t size = Divisor > 0 ? Cx / Divisor : 0;
    if (size <= 2) size = 2;
    auto cellsAcross = [&size](std::int64_t length) { return (length + size - 1) / size; };
    while (cellsAcross(width) * cellsAcross(height) > kMaxCells)
        size *= 2;
    Cell = static_cast<std::int32_t>(size);
    GridColumns = static_cast<std::int32_t>(cellsAcross(width));
    GridRows = static_cast<std::int32_t>(cellsAcross(height));
    const std::int32_t n = GridColumns * GridRows;
    Walk = n > 0 ? MakeCellOrder(n) : CellOrder{};
    TotalUnits = Walk.P;
    UnitsDone = 0;
}

void CheckersEffect::Step(EffectSurface& surface, float progress) {
    for (const std::int64_t due = UnitsDue(TotalUnits, UnitsDone, progress); UnitsDone < due;
         ++UnitsDone) {
        const std::int32_t index = Walk.Next();
        if (index < Walk.N) DrawCell(surface, index);
    }
}

void CheckersEffect::DrawCell(EffectSurface& surface, std::int32_t index) const {
    const std::int64_t left = UnionRect.Left + std::int64_t{index % GridColumns} * Cell;
    const std::int64_t top = UnionRect.Top + std::int64_t{index / GridColumns} * Cell;
    // The last column and row are cut at the union's edge.
    const Rect c{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                 static_cast<std::int32_t>(std::min<std::int64_t>(left + Cell, UnionRect.Right)),
                 static_cast<std::int32_t>(std::min<std::int64_t>(top + Cell, UnionRect.Bottom))};
    const Rect in = IntersectRects(c, NewRect);
    auto black = [&surface](std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
        if (w > 0 && h > 0) surface.PaintBlack(x, y, w, h);
    };
    if (in.IsEmpty()) {
        black(c.Left, c.Top, c.Right - c.Left, c.Bottom - c.Top);
        return;
    }
    surface.CopyPicture(in.Left, in.Top, in.Right - in.Left, in.Bottom - in.Top,
                        in.Left - NewRect.Left, in.Top - NewRect.Top);
    // Whatever of the cell lies beside the new picture: full-height strips left and right of
    // it, and the strips above and below it in between.
    black(c.Left, c.Top, in.Left - c.Left, c.Bottom - c.Top);
    black(in.Right, c.Top, c.Right - in.Right, c.Bottom - c.Top);
    black(in.Left, c.Top, in.Right - in.Left, in.Top - c.Top);
    black(in.Left, in.Bottom, in.Right - in.Left, c.Bottom - in.Bottom);
}
