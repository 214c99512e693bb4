// "Big checkers" and "Small checkers": the union of the old and the new picture is cut into
// square cells (the screen's width divided by 30, or by 200) and the cells are redrawn one per
// unit in a scattered order that visits every cell once. The order needs no table of cells: the
// cells are numbered from 1 and visited in the order of the powers of a primitive root g of a
// prime p above the cell count, which run through every number from 1 to p - 1 exactly once.
#pragma once

#include "imaging/TransitionEffect.h"

#include <cstdint>

// The walk through the cells: g a primitive root modulo the prime p, n cells, current the power
// of g to hand out next.
struct CellOrder {
    std::int32_t G = 0;
    std::int32_t P = 0;
    std::int32_t N = 0;
    std::int32_t Current = 1;

    // The next cell index: 0 first, then every other index below p - 1 once in a scattered
    // order (indices of n and above name no cell), then 0 again at the p-th call. The product
    // is formed in 64 bits, where it cannot overflow for any p below 2^31.
    std::int32_t Next() {
        const std::int32_t index = Current - 1;
        Current = static_cast<std::int32_t>(static_cast<std::uint64_t>(G) *
                                            static_cast<std::uint32_t>(Current) %
                                            static_cast<std::uint32_t>(P));
        return index;
    }
};

// Cell counts of common screens with their prime and a primitive root, so that those grids need
// no search.
struct CellOrderRow {
    std::int32_t Cells, P, G;
};
extern const CellOrderRow CellOrderTable[9];

// Whether c is a primitive root modulo the odd prime p: no c^((p - 1) / q) is 1 for a prime
// factor q of p - 1. Each test costs a few modular powers, after factoring p - 1 once.
bool IsPrimitiveRoot(std::int64_t c, std::int32_t p);
// The smallest odd prime above n >= 1 (3 for 1 and 2).
std::int32_t SmallestPrimeAbove(std::int32_t n);
// The second-smallest primitive root of the odd prime p, or 2 for p = 3, which has no other.
std::int32_t CellOrderGenerator(std::int32_t p);
// The walk for n >= 1 cells: from the table when n is one of its counts, else searched.
CellOrder MakeCellOrder(std::int32_t n);

class CheckersEffect final : public TransitionEffect {
public:
    static constexpr int kBigDivisor = 30;
    static constexpr int kSmallDivisor = 200;
    // Larger grids (only from unions far larger than a screen) take larger cells, so that the
    // search in Begin stays short and the unit count exact in a float progress.
    static constexpr std::int64_t kMaxCells = std::int64_t{1} << 24;

    CheckersEffect(int cx, int cy, int divisor) : TransitionEffect(cx, cy), Divisor(divisor) {}
    // Sets up the grid and its walk, searching a prime and a generator when the cell count is
    // not in the table; this is the only costly part, and no frame waits for it.
    void Begin(const Rect& oldRect, const Rect& newRect) override;
    void Step(EffectSurface& surface, float progress) override;
    // The walk is held in the effect: nothing to release.
    void End() override {}

    std::int32_t CellSize() const { return Cell; }
    std::int32_t Columns() const { return GridColumns; }
    std::int32_t Rows() const { return GridRows; }
    const CellOrder& Order() const { return Walk; }

private:
    void DrawCell(EffectSurface& surface, std::int32_t index) const;

    const int Divisor;
    Rect NewRect, UnionRect;
    std::int64_t UnitsDone = 0, TotalUnits = 0;
    std::int32_t Cell = 2, GridColumns = 0, GridRows = 0;
    // Held in the effect rather than allocated per transition, so that nothing can fail.
    CellOrder Walk;
};
