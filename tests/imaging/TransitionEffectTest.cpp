// The transition effects on the software canvas: the end state of every effect for many rectangle
// pairs with each unit drawn once, the line cursors, cell sizes and grid, and the cell order
// against the definitions of primes and primitive roots.
#include "imaging/CheckersEffect.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

bool Inside(const Rect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool IsPrime(std::int64_t m) {
    for (std::int64_t k = 2; k * k <= m; ++k)
        if (m % k == 0) return false;
    return m > 1;
}

// The definition: the powers of c come back to 1 first at exponent p - 1.
bool IsRootByPowers(std::int64_t c, std::int64_t p) {
    std::int64_t power = c % p, exponent = 1;
    for (; power != 1 && exponent < p; ++exponent)
        power = power * c % p;
    return exponent == p - 1;
}

} // namespace

// Whole transitions in one step and in 40 end with the picture in the new rectangle, black in the
// rest of the smallest rectangle around both pictures and the screen untouched elsewhere; every
// pixel of that union is drawn once (the checkers' first cell twice, as their walk ends on it), and
// nothing before Begin or in a step that makes nothing new due.
TEST(TransitionEffect, EveryEffectEndsWithTheNewPictureOnBlackDrawingEachUnitOnce) {
    const std::vector<RectPair> pairs = EffectRectPairs();
    for (const char* name :
         {"Horizontal lines", "Vertical lines", "Big checkers", "Small checkers"})
        for (const int cx : {60, 300, 1024})
            for (std::size_t i = 0; i < pairs.size(); ++i)
                for (const int steps : {1, 40}) {
                    const auto effect = CreateTransitionEffect(name, cx, 768);
                    const Rect &o = pairs[i].Old, &n = pairs[i].New;
                    EffectCanvas canvas(120, 90, n, static_cast<std::uint32_t>(i));
                    const std::vector<Pixel> before = canvas.Screen;
                    effect->Step(canvas, 1.0f);
                    effect->Begin(o, n);
                    std::size_t idle = canvas.Calls.size();
                    for (int k = 0; k <= steps; ++k) {
                        const float progress = static_cast<float>(k) / steps;
                        effect->Step(canvas, progress);
                        const std::size_t calls = canvas.Calls.size();
                        for (const float again : {progress, progress / 2, std::nanf("")})
                            effect->Step(canvas, again);
                        idle += canvas.Calls.size() - calls;
                    }
                    effect->End();
                    Rect u{1000, 1000, 0, 0};
                    for (const Rect& r : {o, n})
                        if (r.right > r.left && r.bottom > r.top)
                            u = {std::min(u.left, r.left), std::min(u.top, r.top),
                                 std::max(u.right, r.right), std::max(u.bottom, r.bottom)};
                    long wrong = 0;
                    for (int y = 0; y < canvas.Height; ++y)
                        for (int x = 0; x < canvas.Width; ++x)
                            wrong +=
                                canvas.Screen[y * canvas.Width + x] !=
                                (Inside(n, x, y)
                                     ? canvas
                                           .Picture[(y - n.top) * canvas.PictureWidth + x - n.left]
                                 : Inside(u, x, y) ? 0
                                                   : before[y * canvas.Width + x]);
                    const long cell = name[0] == 'B'   ? std::max(2, cx / 30)
                                      : name[0] == 'S' ? std::max(2, cx / 200)
                                                       : 0;
                    const long width = std::max(0, u.right - u.left),
                               height = std::max(0, u.bottom - u.top);
                    EXPECT_EQ(std::make_tuple(wrong, idle, canvas.Drawn, canvas.Faults),
                              std::make_tuple(0L, std::size_t{0},
                                              width * height +
                                                  std::min(cell, width) * std::min(cell, height),
                                              0L))
                        << name << ", cx " << cx << ", pair " << i << ", steps " << steps;
                }
}

// Each unit's lines as offsets from the union's first: width 5 gives lines 0 and 3, 2 and 1, then
// 4; width 4 gives 0 and 3, then 2 and 1; for rows and columns, from odd and even edges.
TEST(TransitionEffect, LineCursorsMeetFromBothEdges) {
    const std::pair<int, std::vector<std::vector<int>>> cases[] = {
        {5, {{0, 3}, {2, 1}, {4}}}, {4, {{0, 3}, {2, 1}}}, {1, {{0}}}};
    for (const bool rows : {false, true})
        for (const int left : {10, 11})
            for (const auto& [width, units] : cases) {
                const Rect r =
                    rows ? Rect{20, left, 26, left + width} : Rect{left, 20, left + width, 26};
                EffectCanvas canvas(120, 90, r, 1);
                const auto effect =
                    CreateTransitionEffect(rows ? "Horizontal lines" : "Vertical lines", 120, 90);
                effect->Begin({}, r);
                std::vector<std::vector<int>> drawn;
                for (std::size_t unit = 1; unit <= units.size(); ++unit) {
                    const std::size_t first = canvas.Calls.size();
                    effect->Step(canvas, std::min(1.0f, (unit + 0.25f) / units.size()));
                    drawn.emplace_back();
                    for (std::size_t c = first; c < canvas.Calls.size(); ++c)
                        drawn.back().push_back(canvas.Calls[c][rows ? 2 : 1] - left);
                }
                EXPECT_EQ(drawn, units) << (rows ? "rows" : "columns") << " from " << left;
            }
}

TEST(TransitionEffect, CheckersCellSizeGridAndFirstCells) {
    // {divisor, cx, cell, union side}; a union far larger than any screen takes larger cells,
    // keeping the grid within MaxCells (20000 x 20000 in cells of 2 would be 10^8).
    const int sizes[][4] = {{30, 1024, 34, 100}, {200, 1024, 5, 100}, {30, 89, 2, 100},
                            {30, 90, 3, 100},    {200, 599, 2, 100},  {200, 600, 3, 100},
                            {30, 0, 2, 100},     {200, -600, 2, 100}, {200, 3840, 19, 100},
                            {200, 100, 8, 20000}};
    for (const auto& s : sizes) {
        CheckersEffect checkers(s[1], 768, s[0]);
        checkers.Begin({}, {0, 0, s[3], s[3]});
        EXPECT_EQ(checkers.CellSize(), s[2]) << s[0] << ", " << s[1];
    }
    EXPECT_EQ(CreateTransitionEffect("Small checker", 1024, 768), nullptr);
    // 1024 x 768 in small cells: 205 x 154 = 31570 cells, p = 31573, g = 6. The first units are
    // the powers 1, 6, 36, 216 of g: cells 0, 5, 35 and 215 (the 11th of the second row).
    CheckersEffect small(1024, 768, CheckersEffect::SmallDivisor);
    const Rect at{3, 7, 1027, 775};
    EffectCanvas canvas(1030, 780, at, 2);
    small.Begin({}, at);
    const CellOrder& order = small.Order();
    EXPECT_EQ(std::make_tuple(small.Columns(), small.Rows(), order.g, order.p, order.n),
              std::make_tuple(205, 154, 6, 31573, 31570));
    small.Step(canvas, 4.5f / 31573);
    EXPECT_EQ(canvas.Calls, (std::vector<SurfaceCall>{{1, 3, 7, 5, 5, 0, 0},
                                                      {1, 28, 7, 5, 5, 25, 0},
                                                      {1, 178, 7, 5, 5, 175, 0},
                                                      {1, 53, 12, 5, 5, 50, 5}}));
}

TEST(CellOrder, SmallestOddPrimeAboveTheCountWithTheTablesRootOrItsSecondPrimitiveRoot) {
    std::vector<std::int32_t> counts = {31570, 23142};
    for (std::int32_t n = 1; n <= 400; ++n)
        counts.push_back(n);
    for (const CellOrderRow& row : CellOrderTable) {
        counts.push_back(row.cells);
        EXPECT_TRUE(IsRootByPowers(row.g, row.p)) << row.g << " mod " << row.p;
        // The fast test squares numbers up to p: 64-bit products.
        EXPECT_TRUE(IsPrimitiveRoot(row.g, row.p));
        EXPECT_FALSE(IsPrimitiveRoot(std::int64_t{row.g} * row.g, row.p));
    }
    for (const std::int32_t n : counts) {
        std::int32_t p = n + 1;
        while (p % 2 == 0 || !IsPrime(p))
            ++p;
        // The table's root, or the second one (p = 3 has only 2, which is taken).
        std::int32_t roots = 0, g = 2;
        for (const CellOrderRow& row : CellOrderTable)
            if (row.cells == n) g = row.g, roots = 2;
        for (std::int32_t c = 2; c < p && roots < 2; ++c)
            if (IsRootByPowers(c, p) && ++roots == 2) g = c;
        const CellOrder order = MakeCellOrder(n);
        EXPECT_EQ(std::make_tuple(order.g, order.p, order.n, order.current),
                  std::make_tuple(g, p, n, 1))
            << n << " cells";
    }
}

TEST(CellOrder, WalkWithTheLargestTablePrimeVisitsEveryCellOnceWithoutOverflow) {
    // The inverse of the table's 28 modulo 1638431 is a primitive root too, and so large that
    // generator x element overflows 32 bits.
    const std::int32_t p = 1638431;
    std::uint64_t inverse = 1;
    for (std::int32_t i = 0; i < p - 2; ++i)
        inverse = inverse * 28 % p;
    ASSERT_GT(inverse * (p - 1), 0x7FFFFFFFu);
    CellOrder order{static_cast<std::int32_t>(inverse), p, p - 1, 1};
    std::vector<bool> seen(p - 1);
    int wrong = 0;
    for (std::int32_t unit = 1; unit < p; ++unit) {
        const std::int32_t index = order.Next();
        wrong += index < 0 || index >= p - 1 || seen[index];
        if (wrong == 0) seen[index] = true;
    }
    EXPECT_EQ(std::make_tuple(wrong, order.Next()), std::make_tuple(0, 0));
}
