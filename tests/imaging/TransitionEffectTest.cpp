#include "imaging/TransitionEffect.h"
#include "imaging/CheckersEffect.h"
#include "tests/imaging/EffectCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

namespace {

const char* const effectNames[] = {"Horizontal lines", "Vertical lines", "Big checkers",
                                   "Small checkers"};

bool Inside(const Rect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

EffectCanvas CanvasFor(const Rect& newRect, std::uint32_t seed) {
    return EffectCanvas(120, 90, std::max(0, newRect.right - newRect.left),
                        std::max(0, newRect.bottom - newRect.top), seed);
}

// After a whole transition: the picture in the new rectangle, black in the rest of the smallest
// rectangle around both pictures, the screen untouched elsewhere; every pixel of that union
// drawn once, except the first of the checkers' cells (of size `cell`), drawn again at the end.
void ExpectDone(const EffectCanvas& canvas, const std::vector<Pixel>& before, const RectPair& pair,
                int cell, const std::string& what) {
    Rect u{1000, 1000, -1000, -1000};
    for (const Rect& r : {pair.oldRect, pair.newRect})
        if (r.right > r.left && r.bottom > r.top)
            u = {std::min(u.left, r.left), std::min(u.top, r.top), std::max(u.right, r.right),
                 std::max(u.bottom, r.bottom)};
    const Rect twice{u.left, u.top, std::min(u.left + cell, u.right),
                     std::min(u.top + cell, u.bottom)};
    int wrong = 0, first = -1;
    for (int y = 0; y < canvas.Height; ++y)
        for (int x = 0; x < canvas.Width; ++x) {
            const Rect& n = pair.newRect;
            const Pixel expected =
                Inside(n, x, y) ? canvas.Picture[(y - n.top) * canvas.PictureWidth + x - n.left]
                                : (Inside(u, x, y) ? 0 : before[y * canvas.Width + x]);
            const int draws = Inside(twice, x, y) ? 2 : Inside(u, x, y) ? 1 : 0;
            if (canvas.Screen[y * canvas.Width + x] != expected ||
                canvas.Draws[y * canvas.Width + x] != draws)
                first = ++wrong == 1 ? y * canvas.Width + x : first;
        }
    EXPECT_EQ(wrong, 0) << what << ", first at " << first % canvas.Width << ","
                        << first / canvas.Width;
    EXPECT_EQ(canvas.Faults, 0) << what;
}

} // namespace

TEST(TransitionEffect, EveryEffectEndsWithTheNewPictureOnBlackDrawingEachUnitOnce) {
    const std::vector<RectPair> pairs = EffectRectPairs();
    for (const char* name : effectNames)
        for (const int cx : {60, 300, 1024})
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                const RectPair& pair = pairs[i];
                const std::string what =
                    name + (", cx " + std::to_string(cx)) + ", pair " + std::to_string(i);
                const int cell = name[0] == 'B'   ? std::max(2, cx / 30)
                                 : name[0] == 'S' ? std::max(2, cx / 200)
                                                  : 0;
                const auto effect = CreateTransitionEffect(name, cx, 768);
                ASSERT_NE(effect, nullptr);

                EffectCanvas whole = CanvasFor(pair.newRect, static_cast<std::uint32_t>(i));
                const std::vector<Pixel> before = whole.Screen;
                effect->Step(whole, 1.0f);
                EXPECT_TRUE(whole.Calls.empty()) << what << ": drawn before Begin";
                effect->Begin(pair.oldRect, pair.newRect);
                effect->Step(whole, 1.0f);
                effect->End();
                effect->Step(whole, 1.0f);
                ExpectDone(whole, before, pair, cell, what + " in one step");

                EffectCanvas steps = CanvasFor(pair.newRect, static_cast<std::uint32_t>(i));
                effect->Begin(pair.oldRect, pair.newRect);
                for (int k = 0; k <= 40; ++k) {
                    const float progress = k / 40.0f;
                    effect->Step(steps, progress);
                    const std::size_t calls = k == 0 ? 0 : steps.Calls.size();
                    // Nothing new is due: the same progress, a smaller one, no number at all.
                    effect->Step(steps, progress);
                    effect->Step(steps, progress / 2);
                    effect->Step(steps, std::nanf(""));
                    EXPECT_EQ(steps.Calls.size(), calls) << what << " at step " << k;
                }
                effect->End();
                ExpectDone(steps, before, pair, cell, what + " in 40 steps");
            }
}

TEST(TransitionEffect, LineCursorsMeetFromBothEdges) {
    // Each unit's lines, as offsets from the union's first line: the forward cursor on even
    // offsets, the backward one on odd offsets from the far edge.
    const struct {
        Rect newRect;
        std::vector<std::vector<int>> units;
    } cases[] = {{{11, 10, 16, 14}, {{0, 3}, {2, 1}, {4}}},
                 {{10, 10, 15, 14}, {{0, 3}, {2, 1}, {4}}},
                 {{10, 10, 14, 15}, {{0, 3}, {2, 1}}},
                 {{11, 11, 12, 12}, {{0}}}};
    for (const bool rows : {false, true})
        for (const auto& c : cases) {
            const Rect& n = c.newRect;
            const Rect r = rows ? Rect{n.top, n.left, n.bottom, n.right} : n;
            EffectCanvas canvas = CanvasFor(r, 1);
            const auto effect =
                CreateTransitionEffect(rows ? "Horizontal lines" : "Vertical lines", 120, 90);
            effect->Begin({}, r);
            const float total = static_cast<float>(c.units.size());
            for (std::size_t unit = 1; unit <= c.units.size(); ++unit) {
                const std::size_t first = canvas.Calls.size();
                effect->Step(canvas, std::min(1.0f, (unit + 0.25f) / total));
                std::vector<int> lines;
                for (std::size_t i = first; i < canvas.Calls.size(); ++i)
                    lines.push_back(rows ? canvas.Calls[i].y - r.top : canvas.Calls[i].x - r.left);
                EXPECT_EQ(lines, c.units[unit - 1]) << (rows ? "rows" : "columns") << ", width "
                                                    << n.right - n.left << ", unit " << unit;
            }
        }
}

TEST(TransitionEffect, CheckersCellSizeGridAndFirstCells) {
    const struct {
        const char* name;
        int cx, cell;
    } sizes[] = {
        {"Big checkers", 1024, 34}, {"Small checkers", 1024, 5}, {"Big checkers", 89, 2},
        {"Big checkers", 90, 3},    {"Small checkers", 599, 2},  {"Small checkers", 600, 3},
        {"Big checkers", 0, 2},     {"Small checkers", -600, 2}, {"Small checkers", 3840, 19}};
    for (const auto& s : sizes) {
        const auto effect = CreateTransitionEffect(s.name, s.cx, 768);
        auto* checkers = dynamic_cast<CheckersEffect*>(effect.get());
        ASSERT_NE(checkers, nullptr) << s.name;
        checkers->Begin({}, {0, 0, 100, 100});
        EXPECT_EQ(checkers->CellSize(), s.cell) << s.name << " at " << s.cx;
    }
    EXPECT_EQ(CreateTransitionEffect("Small checker", 1024, 768), nullptr);
    EXPECT_EQ(CreateTransitionEffect(nullptr, 1024, 768), nullptr);

    // 1024 x 768 in small cells: 205 x 154 = 31570 cells, p = 31573, g = 6. The first units are
    // the powers 1, 6, 36, 216 of g: cells 0, 5, 35 and 215 (the 11th of the second row).
    CheckersEffect small(1024, 768, CheckersEffect::SmallDivisor);
    const Rect at{3, 7, 1027, 775};
    EffectCanvas canvas(1030, 780, 1024, 768, 2);
    small.Begin({}, at);
    EXPECT_EQ(std::make_tuple(small.Columns(), small.Rows()), std::make_tuple(205, 154));
    const CellOrder& order = small.Order();
    EXPECT_EQ(std::make_tuple(order.g, order.p, order.n, order.current),
              std::make_tuple(6, 31573, 31570, 1));
    small.Step(canvas, 4.5f / 31573);
    const int corners[][2] = {{0, 0}, {25, 0}, {175, 0}, {50, 5}};
    ASSERT_EQ(canvas.Calls.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const SurfaceCall& c = canvas.Calls[i];
        EXPECT_EQ(std::make_tuple(c.copy, c.x, c.y, c.width, c.height, c.sourceX, c.sourceY),
                  std::make_tuple(true, 3 + corners[i][0], 7 + corners[i][1], 5, 5, corners[i][0],
                                  corners[i][1]));
    }
}

namespace {

// The definitions themselves, by trial division and by repeated multiplication.
bool IsPrime(std::int64_t m) {
    for (std::int64_t k = 2; k * k <= m; ++k)
        if (m % k == 0) return false;
    return m > 1;
}

bool IsRootByPowers(std::int64_t c, std::int64_t p) {
    std::int64_t power = c % p, exponent = 1;
    for (; power != 1 && exponent < p; ++exponent)
        power = power * c % p;
    return exponent == p - 1;
}

} // namespace

TEST(CellOrder, TableRowsAreTheSmallestPrimesAboveTheirCountsWithPrimitiveRoots) {
    for (const CellOrderRow& row : CellOrderTable) {
        EXPECT_TRUE(IsPrime(row.p)) << row.p;
        for (std::int64_t m = row.cells + 1; m < row.p; ++m)
            EXPECT_FALSE(IsPrime(m)) << m << " below " << row.p;
        EXPECT_TRUE(IsRootByPowers(row.g, row.p)) << row.g << " mod " << row.p;
        EXPECT_TRUE(IsPrimitiveRoot(row.g, row.p));
        EXPECT_FALSE(IsPrimitiveRoot(std::int64_t{row.g} * row.g, row.p));
        const CellOrder order = MakeCellOrder(row.cells);
        EXPECT_EQ(std::make_tuple(order.g, order.p, order.n, order.current),
                  std::make_tuple(row.g, row.p, row.cells, 1));
    }
}

TEST(CellOrder, SearchTakesTheSmallestOddPrimeAboveAndItsSecondPrimitiveRoot) {
    std::vector<std::int32_t> counts = {31570, 23142, 8100};
    for (std::int32_t n = 1; n <= 400; ++n)
        counts.push_back(n);
    for (const std::int32_t n : counts) {
        std::int32_t p = n + 1;
        while (p % 2 == 0 || !IsPrime(p))
            ++p;
        // p = 3 has a single primitive root, 2, which is taken.
        std::int32_t roots = 0, g = 2;
        for (std::int32_t c = 2; c < p && roots < 2; ++c)
            if (IsRootByPowers(c, p) && ++roots == 2) g = c;
        const CellOrder order = MakeCellOrder(n);
        EXPECT_EQ(std::make_tuple(order.g, order.p, order.n, order.current),
                  std::make_tuple(g, p, n, 1))
            << n << " cells";
    }
    EXPECT_EQ(MakeCellOrder(31570).g, 6);
}

TEST(CellOrder, WalkWithTheLargestTablePrimeVisitsEveryCellOnceWithoutOverflow) {
    // The inverse of the table's 28 modulo 1638431 is a primitive root too, and large enough
    // that generator x element overflows 32 bits.
    const std::int32_t p = 1638431;
    std::uint64_t inverse = 1;
    for (std::int32_t i = 0; i < p - 2; ++i)
        inverse = inverse * 28 % p;
    ASSERT_GT(inverse * (p - 1), 0x7FFFFFFFu);
    EXPECT_TRUE(IsPrimitiveRoot(static_cast<std::int64_t>(inverse), p));
    CellOrder order{static_cast<std::int32_t>(inverse), p, p - 1, 1};
    std::vector<bool> seen(p - 1);
    int repeats = 0;
    for (std::int32_t unit = 1; unit < p; ++unit) {
        const std::int32_t index = order.Next();
        repeats += index < 0 || index >= p - 1 || seen[index];
        if (repeats == 0) seen[index] = true;
    }
    EXPECT_EQ(repeats, 0);
    EXPECT_EQ(order.Next(), 0);
}
