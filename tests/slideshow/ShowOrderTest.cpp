// The show's order and stepping: the random source, the cyclic shuffle, the index with
// wrap-around, the picture timer's period.
#include "slideshow/RandomSource.h"
#include "slideshow/SlideStepping.h"

#include <gtest/gtest.h>

#include <climits>
#include <numeric>
#include <vector>

namespace {

TEST(ShowOrder, TheRandomSourceGivesTheCRuntimesFamiliarRandSequence) {
    RandomSource random; // unseeded: as after srand(1)
    std::vector<int> draws(8);
    for (int& draw : draws)
        draw = random.Draw();
    EXPECT_EQ(draws, (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358}));
    // From a state of all ones it wraps to 2531011 - 214013 = 2316998: bits 16 to 30 are 35.
    random.Seed(0xFFFFFFFFu);
    EXPECT_EQ(random.Draw(), 35);
}

TEST(ShowOrder, TheShuffleExchangesEachElementWithOneBeforeItMakingASingleCycle) {
    // By hand from the draws 41, 18467, 6334, 26500: swap 1-0, 2-1, 3-1, 4-0.
    RandomSource fresh;
    std::vector<char> five{'a', 'b', 'c', 'd', 'e'}, one{'z'};
    ShuffleCyclic(five, fresh);
    EXPECT_EQ(five, (std::vector<char>{'e', 'd', 'a', 'c', 'b'}));
    ShuffleCyclic(one, fresh); // takes no draw
    EXPECT_EQ(fresh.Draw(), 19169);
    // Any seed: one cycle through all elements, so none keeps its place. Beyond 32767 elements an
    // exchange takes two draws, to reach every earlier place.
    for (const std::size_t n : {2u, 17u, 40000u})
        for (std::uint32_t seed = 1; seed < (n > 100 ? 4u : 200u); ++seed) {
            RandomSource random, after;
            random.Seed(seed * 2654435761u);
            after.Seed(seed * 2654435761u);
            std::vector<std::size_t> list(n);
            std::iota(list.begin(), list.end(), 0);
            ShuffleCyclic(list, random);
            std::size_t cycle = 1;
            for (std::size_t at = list[0]; at != 0; at = list[at])
                ++cycle;
            ASSERT_EQ(cycle, n) << "seed " << seed;
            for (std::size_t draws = 0; draws < (n - 1) + (n > 32768 ? n - 32768 : 0); ++draws)
                after.Draw();
            EXPECT_EQ(random.Draw(), after.Draw());
        }
}

TEST(ShowOrder, TheIndexWrapsBothWaysAnEmptyShowHasNoneAndAPeriodBelow1IsTheDefault) {
    const std::tuple<std::int32_t, int, std::size_t, std::int32_t> steps[] = {
        {-1, +1, 17, 0},  {15, +1, 17, 16}, {16, +1, 17, 0}, {0, -1, 17, 16}, {1, -1, 17, 0},
        {-1, -1, 17, 16}, {0, -1, 1, 0},    {-1, +1, 0, -1}, {-1, -1, 0, -1}};
    for (const auto& [current, delta, count, next] : steps)
        EXPECT_EQ(StepIndex(current, delta, count), next) << current << delta << " of " << count;
    const std::pair<std::int32_t, std::uint32_t> periods[] = {
        {1, 1}, {60000, 60000}, {INT_MAX, INT_MAX}, {0, 2000}, {-1, 2000}, {INT_MIN, 2000}};
    for (const auto& [millis, period] : periods)
        EXPECT_EQ(PicturePeriod(millis), period) << millis;
}

} // namespace
