// The transition effects on the software canvas: the end state of every effect for many rectangle
// pairs with each unit drawn once (the checkers' cells of cx / 30 and cx / 200 pixels, at least 2),
// the grid of a 1024 x 768 screen, and the cell order against the definitions of primes and
// primitive roots.
#include "imaging/CheckersEffect.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

bool Inside(const Rect& r, int x, int y) {
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
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

// A whole transition in `steps` steps ends with the picture in the new rectangle, black in the
// rest of the smallest rectangle around both pictures and the screen untouched elsewhere; every
// pixel of that union is drawn once (the checkers' first cell twice, as their walk ends on it), and
// nothing before Begin or in a step that makes nothing new due.
void ExpectWholeTransition(const EffectName& kind, int cx, const Rect& o, const Rect& n,
                           int steps) {
    const auto effect = CreateTransitionEffect(kind.Kind, cx, 768);
    const char* name = kind.Name;
    EffectCanvas canvas(120, 90, n, static_cast<std::uint32_t>(cx + n.Left));
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
        if (r.Right > r.Left && r.Bottom > r.Top)
            u = {std::min(u.Left, r.Left), std::min(u.Top, r.Top), std::max(u.Right, r.Right),
                 std::max(u.Bottom, r.Bottom)};
    long wrong = 0;
    for (int i = 0; i < canvas.Width * canvas.Height; ++i) {
        const int x = i % canvas.Width, y = i / canvas.Width;
        wrong += canvas.Screen[i] !=
                 (Inside(n, x, y)   ? canvas.Picture[(y - n.Top) * canvas.PictureWidth + x - n.Left]
                  : Inside(u, x, y) ? 0
                                    : before[i]);
    }
    const long cell = name[0] == 'B'   ? std::max(2, cx / 30)
                      : name[0] == 'S' ? std::max(2, cx / 200)
                                       : 0;
    const long width = std::max(0, u.Right - u.Left), height = std::max(0, u.Bottom - u.Top);
    EXPECT_EQ(std::make_tuple(wrong, idle, canvas.Drawn, canvas.Faults),
              std::make_tuple(0L, std::size_t{0},
                              width * height + std::min(cell, width) * std::min(cell, height), 0L))
        << name << ", cx " << cx << ", " << steps << " steps, to " << n.Left << "," << n.Top << " "
        << n.Right << "," << n.Bottom << " from " << o.Left << "," << o.Top;
}

} // namespace

TEST(TransitionEffect, EveryEffectEndsWithTheNewPictureOnBlackDrawingEachUnitOnce) {
    for (const EffectName& name : kEffectNames)
        for (const int cx : {60, 300, 1024})
            for (const RectPair& pair : EffectRectPairs())
                for (const int steps : {1, 40})
                    ExpectWholeTransition(name, cx, pair.Old, pair.New, steps);
}

TEST(TransitionEffect, CheckersGridAndFirstCellsOnA1024x768Screen) {
    // 1024 x 768 in small cells: 205 x 154 = 31570 cells, p = 31573, g = 6. The first units are
    // the powers 1, 6, 36, 216 of g: cells 0, 5, 35 and 215 (the 11th of the second row).
    CheckersEffect small(1024, 768, CheckersEffect::kSmallDivisor);
    const Rect at{3, 7, 1027, 775};
    EffectCanvas canvas(1030, 780, at, 2);
    small.Begin({}, at);
    const CellOrder& order = small.Order();
    EXPECT_EQ(std::make_tuple(small.Columns(), small.Rows(), order.G, order.P, order.N),
              std::make_tuple(205, 154, 6, 31573, 31570));
    small.Step(canvas, 4.5f / 31573);
    EXPECT_EQ(canvas.Calls, (std::vector<SurfaceCall>{{1, 3, 7, 5, 5, 0, 0},
                                                      {1, 28, 7, 5, 5, 25, 0},
                                                      {1, 178, 7, 5, 5, 175, 0},
                                                      {1, 53, 12, 5, 5, 50, 5}}));
}

// Every row of the table against the definitions: p the smallest prime above the count, g a
// primitive root (the fast test squares numbers up to p, in 64 bits). Elsewhere the search takes
// the second-smallest root (6 for 31573, above), or for p = 3, which has only 2, that one.
TEST(CellOrder, TheTableAgreesWithTheDefinitionsAndATinyGridTakesTheOnlyRoot) {
    for (const CellOrderRow& row : CellOrderTable) {
        std::int32_t p = row.Cells + 1;
        while (!IsPrime(p))
            ++p;
        EXPECT_TRUE(p == row.P && IsRootByPowers(row.G, p) && IsPrimitiveRoot(row.G, p) &&
                    !IsPrimitiveRoot(std::int64_t{row.G} * row.G, p))
            << row.Cells;
    }
    for (const std::int32_t n : {1, 2})
        EXPECT_EQ(std::make_tuple(MakeCellOrder(n).G, MakeCellOrder(n).P), std::make_tuple(2, 3));
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
