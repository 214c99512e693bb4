// The transition loop against a clock of the test's own: frame pacing, progress, the final frame
// in every case, the reshuffle after each transition and the effect list. (The rules for the
// messages between frames are checked on a real message queue, in ShowWindowTest_win32.cpp.)
#include "slideshow/Transition.h"
#include "settings/ScreenSaverSettings.h"
#include "slideshow/RandomSource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// A clock that moves only when the loop sleeps or an effect draws. The n-th message taken (from 1)
// ends the transition; so does the 1000th, should the loop never end.
struct TestHost : TransitionHost {
    std::uint32_t TickCount() override { return Now; }
    void Sleep(std::uint32_t millis) override { Now += millis; }
    bool TakeOneMessage() override { return ++Taken != LeaveAt && Taken < 1000; }
    std::uint32_t Now = 0, DrawMillis = 0;
    int LeaveAt = 0, Taken = 0;
};

// Logs its name and the rectangles at Begin, "1" at the final Step, "E" at End.
struct RecordingEffect : TransitionEffect {
    RecordingEffect(TestHost& host, std::string& log, char name)
        : TransitionEffect(640, 480), Host(host), Log(log), Name(1, name) {}
    void Begin(const Rect& from, const Rect& to) override {
        Log += Name + std::to_string(from.left) + std::to_string(to.right);
    }
    void Step(EffectSurface&, float progress) override {
        Progress.push_back(progress);
        Starts.push_back(Host.Now);
        Host.Now += Host.DrawMillis;
        if (progress == 1.0f) Log += "1";
    }
    void End() override { Log += "E"; }
    TestHost& Host;
    std::string& Log;
    std::string Name;
    std::vector<float> Progress;
    std::vector<std::uint32_t> Starts;
};

struct NoSurface : EffectSurface {
    void CopyPicture(int, int, int, int, int, int) override {}
    void PaintBlack(int, int, int, int) override {}
} surface;

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
    };
    for (const auto& c : cases) {
        TestHost host;
        host.Now = c.Start;
        host.DrawMillis = c.DrawMillis;
        host.LeaveAt = c.LeaveAt;
        std::string log;
        RecordingEffect effect(host, log, 'e');
        RunTransition(effect, surface, Rect{3, 0, 0, 0}, Rect{0, 0, 9, 0}, c.EffectMillis, host);
        SCOPED_TRACE(c.EffectMillis);
        EXPECT_THAT(effect.Progress, testing::Pointwise(testing::FloatEq(), c.Progress));
        EXPECT_EQ(log, "e391E");
        EXPECT_EQ(host.Taken, static_cast<int>(c.Progress.size()) - 1); // one after each frame
        for (std::size_t i = 1; i < effect.Starts.size(); ++i)
            EXPECT_EQ(effect.Starts[i] - effect.Starts[i - 1], std::max(33u, c.DrawMillis));
    }
}

TEST(Transition, TheFirstEffectRunsAndTheListIsReshuffledSoItNeverComesTwiceInARow) {
    for (int count = 0; count <= 4; ++count) {
        TestHost host;
        std::string log;
        EffectList effects;
        for (int i = 0; i < count; ++i)
            effects.push_back(std::make_unique<RecordingEffect>(host, log, 'A' + i));
        RandomSource random;
        std::string used;
        for (int transition = 0; transition < 40; ++transition, log.clear()) {
            RunNextTransition(effects, surface, Rect{}, Rect{}, 100, host, random);
            used += log.substr(0, 1);
        }
        SCOPED_TRACE(used);
        EXPECT_EQ(used.size(), count == 0 ? 0u : 40u);
        if (count == 0) continue;
        EXPECT_EQ(used.substr(0, count == 2 ? 6 : 1), count == 2 ? "ABABAB" : "A");
        for (std::size_t i = 1; i < used.size(); ++i)
            EXPECT_TRUE(count == 1 ? used[i] == 'A' : used[i] != used[i - 1]);
        EXPECT_NE(used.find(static_cast<char>('A' + count - 1)), std::string::npos);
    }
}

std::string requested;
std::unique_ptr<TransitionEffect> RecordingFactory(const char* name, int cx, int cy) {
    requested += std::string(name, 2) + std::to_string(cx / cy);
    static TestHost host;
    static std::string log;
    // "Vertical lines" is registered nowhere here.
    return name[0] == 'V' ? nullptr : std::make_unique<RecordingEffect>(host, log, 'x');
}

TEST(Transition, TheEnabledEffectsInTheirFixedOrderElseUseEffectsIsSwitchedOff) {
    // Effects disabled (by first letter), then the names asked for, how many were built and
    // UseEffects afterwards.
    const std::tuple<const char*, const char*, std::size_t, bool> cases[] = {
        {"", "Ho2Ve2Bi2Sm2", 3, true},
        {"HV", "Bi2Sm2", 2, true},
        {"HBS", "Ve2", 0, false},
        {"HVBS", "", 0, false},
    };
    for (const auto& [disabled, names, built, useEffects] : cases) {
        ScreenSaverSettings settings;
        for (const char* name : kEffectNames)
            settings.TransitionEffects[name] =
                std::string(disabled).find(name[0]) == std::string::npos;
        requested.clear();
        EXPECT_EQ(CreateEffects(settings, 1000, 500, &RecordingFactory).size(), built);
        EXPECT_EQ(requested, names);
        EXPECT_EQ(settings.UseEffects, useEffects);
    }
    ScreenSaverSettings off;
    off.UseEffects = false;
    EXPECT_TRUE(CreateEffects(off, 800, 600).empty());
    // The screen saver's own factory knows every name.
    ScreenSaverSettings all;
    EXPECT_EQ(CreateEffects(all, 800, 600).size(), 4u);
}

} // namespace
