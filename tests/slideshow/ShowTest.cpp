// The show's order and stepping (the random source, the cyclic shuffle, the index with
// wrap-around, the picture timer's period), captions, the transition loop against a clock of the
// test's own, and the real effect list with its reshuffle. The rules for the messages between
// frames are checked on a real message queue, in ShowWindowTest_win32.cpp.
#include "imaging/CheckersEffect.h"
#include "imaging/LinesEffect.h"
#include "settings/ScreenSaverSettings.h"
#include "slideshow/Caption.h"
#include "slideshow/RandomSource.h"
#include "slideshow/SlideStepping.h"
#include "slideshow/Transition.h"
#include "tests/imaging/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

TEST(ShowOrder, TheCRuntimesRandSequenceAndTheCyclicShuffleByHand) {
    RandomSource random; // unseeded: as after srand(1)
    std::vector<int> draws(4);
    for (int& draw : draws)
        draw = random.Draw();
    EXPECT_EQ(draws, (std::vector<int>{41, 18467, 6334, 26500}));
    // From a state of all ones it wraps to 2531011 - 214013 = 2316998: bits 16 to 30 are 35.
    random.Seed(0xFFFFFFFFu);
    EXPECT_EQ(random.Draw(), 35);
    // By hand from the draws 41, 18467, 6334, 26500: swap 1-0, 2-1, 3-1, 4-0.
    RandomSource fresh;
    std::vector<char> five{'a', 'b', 'c', 'd', 'e'}, one{'z'};
    ShuffleCyclic(five, fresh);
    EXPECT_EQ(five, (std::vector<char>{'e', 'd', 'a', 'c', 'b'}));
    ShuffleCyclic(one, fresh); // takes no draw
    EXPECT_EQ(fresh.Draw(), 19169);
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

// A caption is loaded whole however long, the loader copying at most size - 1 characters; it is
// drawn only when it has text, outside the preview, with ShowText on.
TEST(Captions, AreLoadedWholeAndShownOnlyWithTextOutsideThePreview) {
    const std::string text(600, 'c');
    EXPECT_EQ(LoadWholeText([&text](char* buffer, int size) {
                  const int copied = std::min(600, size - 1);
                  text.copy(buffer, copied);
                  buffer[copied] = '\0';
                  return copied;
              }),
              text);
    EXPECT_TRUE(CaptionShown(1, false, true));
    EXPECT_FALSE(CaptionShown(0, false, true) || CaptionShown(1, true, true) ||
                 CaptionShown(1, false, false));
}

// A clock that moves only when the loop sleeps or the effect draws, and the effect itself, noting
// each Step's progress and start and the calls to Begin and End. The n-th message taken (from 1)
// ends the transition; so does the 1000th, should the loop never end.
struct TestLoop : TransitionHost, TransitionEffect {
    TestLoop() : TransitionEffect(0, 0) {}
    std::uint32_t TickCount() override { return Now; }
    void Sleep(std::uint32_t millis) override { Now += millis; }
    bool TakeOneMessage() override { return ++Taken != LeaveAt && Taken < 1000; }
    void Begin(const Rect&, const Rect&) override { Calls += "B"; }
    void Step(EffectSurface&, float progress) override {
        Progress.push_back(progress);
        Starts.push_back(Now);
        Now += DrawMillis;
    }
    void End() override { Calls += "E"; }
    std::uint32_t Now = 0, DrawMillis = 0;
    int LeaveAt = 0, Taken = 0;
    std::string Calls;
    std::vector<float> Progress;
    std::vector<std::uint32_t> Starts;
};

EffectCanvas surface(4, 4, Rect{0, 0, 4, 4}, 0);

TEST(Transition, FramesAreAtLeast33MsApartAndTheFinalFrameComesInEveryCase) {
    const std::vector<float> fast{0, .165f, .33f, .495f, .66f, .825f, .99f, 1}; // k x 33 / 200
    const struct {
        std::uint32_t Start;
        std::int32_t EffectMillis;
        std::uint32_t DrawMillis;
        int LeaveAt;
        std::vector<float> Progress; // every Step, the final one included
    } cases[] = {
        {1000, 200, 10, 0, fast},                 // faster drawing sleeps the rest of 33 ms
        {0xFFFFFFF0u, 200, 10, 0, fast},          // the tick counter wraps
        {5, 200, 50, 0, {0, .25f, .5f, .75f, 1}}, // slower drawing does not sleep
        {0, 200, 10, 3, {0, .165f, .33f, 1}},     // the third message ends the loop
        {0, 0, 10, 0, {1}},                       // durations of 0 or less: only the final frame
        {0, -2000, 10, 0, {1}},
        {0, INT_MIN, 10, 0, {1}},
        {0, INT_MAX, 30000, 0, {0, .5f, 1}}, // a duration of weeks lasts a minute
        {0, 60001, 20000, 0, {0, 1 / 3.f, 2 / 3.f, 1}},
    };
    for (const auto& c : cases) {
        TestLoop loop;
        loop.Now = c.Start;
        loop.DrawMillis = c.DrawMillis;
        loop.LeaveAt = c.LeaveAt;
        RunTransition(loop, surface, Rect{}, Rect{}, c.EffectMillis, loop);
        SCOPED_TRACE(c.EffectMillis);
        EXPECT_THAT(loop.Progress, testing::Pointwise(testing::FloatEq(), c.Progress));
        EXPECT_EQ(loop.Calls, "BE");
        EXPECT_EQ(loop.Taken, static_cast<int>(c.Progress.size()) - 1); // one after each frame
        for (std::size_t i = 1; i < loop.Starts.size(); ++i)
            EXPECT_EQ(loop.Starts[i] - loop.Starts[i - 1], std::max(33u, c.DrawMillis));
    }
}

// Several monitors, one frame loop: every part is begun, stepped in every frame to the same
// progress, completed by the final Step(1.0) and ended, also when a message cuts the loop short.
TEST(Transition, EveryMonitorsPartStepsInEveryFrameOfOneLoop) {
    for (const int leaveAt : {0, 2}) {
        TestLoop loop, second, third;
        loop.DrawMillis = 10;
        loop.LeaveAt = leaveAt;
        const Rect none{}, picture{0, 0, 4, 4};
        RunTransition({{&loop, &surface, none, picture},
                       {&second, &surface, none, picture},
                       {&third, &surface, picture, none}},
                      200, loop);
        const std::vector<float> expected =
            leaveAt == 0 ? std::vector<float>{0, .165f, .33f, .495f, .66f, .825f, .99f, 1}
                         : std::vector<float>{0, .165f, 1};
        for (TestLoop* part : {&loop, &second, &third}) {
            EXPECT_THAT(part->Progress, testing::Pointwise(testing::FloatEq(), expected));
            EXPECT_EQ(part->Calls, "BE");
        }
        EXPECT_EQ(loop.Taken, static_cast<int>(expected.size()) - 1) << "one message a frame";
    }
}

// The real effects, built for a 1024 pixel wide screen, in the list the show makes of the
// settings and taking turns in the effect order, reshuffled after every transition: with all four
// the first is "Horizontal lines"; with the two checkers, "Big checkers" (34 pixel cells, not 5);
// two alternate strictly, one comes every time, and with two or more none comes twice in a row.
TEST(Transition, TheFirstEnabledEffectInTheFixedOrderThenNeverTheSameTwiceInARow) {
    auto letter = [](TransitionEffect* e) {
        if (dynamic_cast<HorizontalLinesEffect*>(e) != nullptr) return 'H';
        if (dynamic_cast<VerticalLinesEffect*>(e) != nullptr) return 'V';
        return static_cast<CheckersEffect*>(e)->CellSize() == 34 ? 'B' : 'S';
    };
    const std::pair<std::string, std::string> cases[] = {{"HVBS", "H"},      {"VBS", "V"},
                                                         {"BS", "BSBSBSBS"}, {"HS", "HSHSHSHS"},
                                                         {"S", "SSSS"},      {"", ""}};
    for (const auto& [enabled, first] : cases) {
        ScreenSaverSettings settings;
        for (const char* name : kEffectNames)
            settings.TransitionEffects[name] = enabled.find(name[0]) != std::string::npos;
        EffectList effects = CreateEffects(settings, 1024, 768);
        EXPECT_EQ(settings.UseEffects, !enabled.empty()) << "switched off when none is built";
        EffectOrder order(effects.size());
        // The list itself reshuffled after every transition, as with a single list: the same
        // sequence.
        std::vector<char> list(enabled.begin(), enabled.end());
        TestLoop host;
        RandomSource random, alone;
        std::string used, usedAlone;
        for (int transition = 0; transition < 40 && !order.Empty(); ++transition) {
            TransitionEffect* next = effects[order.Next()].get();
            RunTransition(*next, surface, Rect{}, Rect{0, 0, 4, 4}, 100, host);
            order.Advance(random);
            used += letter(next);
            usedAlone += list.front();
            ShuffleCyclic(list, alone);
        }
        SCOPED_TRACE(used);
        EXPECT_EQ(used.substr(0, first.size()), first);
        EXPECT_EQ(used, usedAlone);
        EXPECT_EQ(used.size(), enabled.empty() ? 0u : 40u);
        for (std::size_t i = 1; i < used.size(); ++i)
            EXPECT_TRUE(enabled.size() == 1 || used[i] != used[i - 1]);
        for (const char effect : enabled)
            EXPECT_NE(used.find(effect), std::string::npos);
    }
    ScreenSaverSettings off;
    off.UseEffects = false;
    EXPECT_TRUE(CreateEffects(off, 800, 600).empty());
}

} // namespace
