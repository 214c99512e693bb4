// The show's order and stepping: the random source, the cyclic shuffle, the index with
// wrap-around, the picture timer's period.
#include "slideshow/RandomSource.h"
#include "slideshow/SlideStepping.h"

#include <gtest/gtest.h>

#include <climits>
#include <numeric>
#include <vector>

namespace {

TEST(RandomSource, UnseededItGivesTheFamiliarSequenceOfTheCRuntimesRand) {
    // The sequence the C runtime's rand() has given after srand(1) since the 1980s.
    RandomSource random;
    std::vector<int> draws;
    for (int i = 0; i < 10; ++i)
        draws.push_back(random.Draw());
    EXPECT_EQ(draws,
              (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}));
    // Seeding sets the state: seed 1 starts the sequence again; from all ones the state wraps to
    // 2531011 - 214013 = 2316998, whose bits 16 to 30 are 35.
    random.Seed(1);
    EXPECT_EQ(random.Draw(), 41);
    random.Seed(0xFFFFFFFFu);
    EXPECT_EQ(random.Draw(), 35);
}

// The length of the cycle through element 0.
std::size_t CycleLength(const std::vector<std::size_t>& permutation) {
    std::size_t length = 1;
    for (std::size_t at = permutation[0]; at != 0; at = permutation[at])
        ++length;
    return length;
}

TEST(ShuffleCyclic, ExchangesEachElementWithOneBeforeItMakingOneCycle) {
    // Worked by hand from the draws 41, 18467, 6334, 26500: swap 1-0, 2-1, 3-1, 4-0.
    RandomSource fresh;
    std::vector<char> five{'a', 'b', 'c', 'd', 'e'};
    ShuffleCyclic(five, fresh);
    EXPECT_EQ(five, (std::vector<char>{'e', 'd', 'a', 'c', 'b'}));

    // Lists of none or one element take no draw.
    RandomSource untouched;
    std::vector<int> none, one{7};
    ShuffleCyclic(none, untouched);
    ShuffleCyclic(one, untouched);
    EXPECT_EQ(one, std::vector<int>{7});
    EXPECT_EQ(untouched.Draw(), 41);

    // Any seed: a single cycle through every element, so none keeps its place; two always swap.
    // Beyond 32767 elements each exchange takes two draws, to reach every earlier place.
    for (const std::size_t n : {std::size_t{2}, std::size_t{17}, std::size_t{40000}}) {
        for (std::uint32_t seed = 0; seed < (n > 100 ? 3u : 200u); ++seed) {
            RandomSource random;
            random.Seed(seed * 2654435761u);
            std::vector<std::size_t> list(n);
            std::iota(list.begin(), list.end(), 0);
            ShuffleCyclic(list, random);
            ASSERT_EQ(CycleLength(list), n) << "n " << n << " seed " << seed;
            if (n == 40000) {
                RandomSource after;
                after.Seed(seed * 2654435761u);
                for (int draws = 0; draws < 39999 + (39999 - 32767); ++draws)
                    after.Draw();
                EXPECT_EQ(random.Draw(), after.Draw());
            }
        }
    }
}

TEST(SlideStepping, TheIndexWrapsBothWaysAndAnEmptyShowHasNone) {
    const struct {
        std::int32_t Current;
        int Delta;
        std::size_t Count;
        std::int32_t Next;
    } cases[] = {{-1, +1, 17, 0}, {0, +1, 17, 1},  {15, +1, 17, 16}, {16, +1, 17, 0},
                 {0, -1, 17, 16}, {1, -1, 17, 0},  {-1, -1, 17, 16}, {0, +1, 1, 0},
                 {0, -1, 1, 0},   {-1, +1, 0, -1}, {-1, -1, 0, -1},  {0, +1, 0, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(StepIndex(c.Current, c.Delta, c.Count), c.Next)
            << c.Current << " " << c.Delta << " of " << c.Count;
}

TEST(SlideStepping, APeriodOfZeroOrLessIsTheDefault) {
    const std::pair<std::int32_t, std::uint32_t> cases[] = {
        {2000, 2000}, {1, 1},     {60000, 60000}, {INT_MAX, INT_MAX},
        {0, 2000},    {-1, 2000}, {INT_MIN, 2000}};
    for (const auto& [millis, period] : cases)
        EXPECT_EQ(PicturePeriod(millis), period) << millis;
}

} // namespace
