// The one pseudo-random source of the show, and the shuffle that orders the pictures at set-up and
// the transition effects after every transition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

class RandomSource {
public:
    // The state starts at 1, so an unseeded source gives the same sequence in every run.
    void Seed(std::uint32_t seed) { State = seed; }
    // A value from 0 to 32767: bits 16 to 30 of the next state.
    int Draw() {
        State = State * 214013u + 2531011u;
        return static_cast<int>((State >> 16) & 0x7FFFu);
    }

private:
    std::uint32_t State = 1;
};

// The source the screen saver uses for both shuffles; seeded only when RandomOrder is on.
RandomSource& ShowRandomSource();

// Exchanges every element k (from 1 on) with one at a random place strictly before it: a random
// cyclic permutation, in which no element of a list of two or more keeps its place.
template <typename List> void ShuffleCyclic(List& list, RandomSource& random) {
    for (std::size_t k = 1; k < list.size(); ++k) {
        std::size_t r = static_cast<std::size_t>(random.Draw());
        // Beyond the 15 bits of one draw, a second one widens the range.
        if (k > 0x7FFF) r = (r << 15) | static_cast<std::size_t>(random.Draw());
        using std::swap;
        swap(list[k], list[r % k]);
    }
}
