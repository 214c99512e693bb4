// The transition loop against a clock of the test's own: frame pacing, progress, the final frame
// in every case, the reshuffle after each transition, the effect list, and the message rules.
#include "slideshow/Transition.h"
#include "settings/ScreenSaverSettings.h"
#include "slideshow/RandomSource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::FloatEq;
using ::testing::Pointwise;

// A clock that moves only when the loop sleeps or an effect draws; the n-th message taken (from 1)
// may end the transition, and a loop that never ends is ended at the 1000th.
class TestHost : public TransitionHost {
public:
    std::uint32_t TickCount() override { return Now; }
    void Sleep(std::uint32_t millis) override {
        Sleeps.push_back(millis);
        Now += millis;
    }
    bool TakeOneMessage() override { return ++Taken != LeaveAtMessage && Taken < 1000; }

    std::uint32_t Now = 0;
    std::uint32_t DrawMillis = 0; // what each Step costs
    int LeaveAtMessage = 0;
    int Taken = 0;
    std::vector<std::uint32_t> Sleeps;
};

class RecordingEffect : public TransitionEffect {
public:
    RecordingEffect(TestHost& host, std::string name, std::vector<std::string>& log)
        : TransitionEffect(640, 480), host_(host), name_(std::move(name)), log_(log) {}
    void Begin(const Rect& oldRect, const Rect& newRect) override {
        log_.push_back(name_ + " Begin " + std::to_string(oldRect.left) + " " +
                       std::to_string(newRect.right));
    }
    void Step(EffectSurface&, float progress) override {
        Progress.push_back(progress);
        FrameStarts.push_back(host_.Now);
        host_.Now += host_.DrawMillis;
        if (progress >= 1.0f) log_.push_back(name_ + " Step 1");
    }
    void End() override { log_.push_back(name_ + " End"); }

    std::vector<float> Progress;
    std::vector<std::uint32_t> FrameStarts;

private:
    TestHost& host_;
    std::string name_;
    std::vector<std::string>& log_;
};

class NoSurface : public EffectSurface {
    void CopyPicture(int, int, int, int, int, int) override {}
    void PaintBlack(int, int, int, int) override {}
};

TEST(Transition, FramesAreAtLeast33MsApartAndTheFinalFrameComesInEveryCase) {
    const struct {
        const char* Name;
        std::uint32_t Start;
        std::int32_t EffectMillis;
        std::uint32_t DrawMillis;
        int LeaveAtMessage;
        std::vector<float> Progress; // every Step, the final one included
    } cases[] = {
        // Fast frames sleep the rest of 33 ms: progress k x 33 / 200.
        {"fast frames", 1000, 200, 10, 0, {0, .165f, .33f, .495f, .66f, .825f, .99f, 1}},
        {"a tick counter that wraps",
         0xFFFFFFF0u,
         200,
         10,
         0,
         {0, .165f, .33f, .495f, .66f, .825f, .99f, 1}},
        // Slow frames do not sleep; progress k x 50 / 200.
        {"slow frames", 5, 200, 50, 0, {0, .25f, .5f, .75f, 1}},
        {"a closing message at the third frame", 0, 200, 10, 3, {0, .165f, .33f, 1}},
        {"a duration of 0", 0, 0, 10, 0, {1}},
        {"a negative duration", 0, -2000, 10, 0, {1}},
        {"the most negative duration", 0, INT_MIN, 10, 0, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TestHost host;
        host.Now = c.Start;
        host.DrawMillis = c.DrawMillis;
        host.LeaveAtMessage = c.LeaveAtMessage;
        std::vector<std::string> log;
        RecordingEffect effect(host, "e", log);
        NoSurface surface;
        RunTransition(effect, surface, Rect{3, 0, 0, 0}, Rect{0, 0, 9, 0}, c.EffectMillis, host);

        EXPECT_THAT(effect.Progress, Pointwise(FloatEq(), c.Progress));
        EXPECT_THAT(log, ElementsAre("e Begin 3 9", "e Step 1", "e End"));
        // One message looked at after every frame but the final one, and frames 33 ms apart at
        // least (exactly 33 when drawing is faster, with a sleep of the rest).
        EXPECT_EQ(host.Taken, static_cast<int>(c.Progress.size()) - 1);
        for (std::size_t i = 1; i + 1 < effect.FrameStarts.size(); ++i)
            EXPECT_EQ(effect.FrameStarts[i] - effect.FrameStarts[i - 1],
                      std::max<std::uint32_t>(33, c.DrawMillis));
        for (const std::uint32_t sleep : host.Sleeps)
            EXPECT_EQ(sleep, 33 - c.DrawMillis);
    }
}

TEST(Transition, EachTransitionRunsTheFirstEffectAndThenReshufflesTheList) {
    for (const int count : {0, 1, 2, 3, 4}) {
        SCOPED_TRACE(count);
        TestHost host;
        std::vector<std::string> log;
        EffectList effects;
        for (int i = 0; i < count; ++i)
            effects.push_back(
                std::make_unique<RecordingEffect>(host, std::string(1, 'A' + i), log));
        RandomSource random;
        NoSurface surface;
        std::string used;
        for (int transition = 0; transition < 40; ++transition) {
            log.clear();
            RunNextTransition(effects, surface, Rect{}, Rect{}, 100, host, random);
            if (count == 0) {
                EXPECT_TRUE(log.empty());
                continue;
            }
            ASSERT_EQ(log.size(), 3u);
            EXPECT_EQ(log[0].substr(1), " Begin 0 0");
            used += log[0][0];
        }
        if (count == 0) continue;
        // The list's first effect starts; one alone is used every time, two alternate strictly,
        // and with more the same one never comes twice in a row.
        EXPECT_EQ(used[0], 'A');
        if (count == 1) {
            EXPECT_EQ(used, std::string(40, 'A'));
        }
        if (count == 2) {
            EXPECT_EQ(used.substr(0, 6), "ABABAB");
        }
        for (std::size_t i = 1; count > 1 && i < used.size(); ++i)
            EXPECT_NE(used[i], used[i - 1]) << used;
        for (int i = 0; i < count; ++i)
            EXPECT_NE(used.find(static_cast<char>('A' + i)), std::string::npos) << used;
    }
}

std::vector<std::string> requested;

std::unique_ptr<TransitionEffect> RecordingFactory(const char* name, int cx, int cy) {
    requested.push_back(std::string(name) + " " + std::to_string(cx) + "x" + std::to_string(cy));
    // "Vertical lines" is not registered here.
    if (std::string(name) == "Vertical lines") return nullptr;
    static TestHost host;
    static std::vector<std::string> log;
    return std::make_unique<RecordingEffect>(host, name, log);
}

TEST(Transition, TheEnabledEffectsInTheirFixedOrderOrNoneWithUseEffectsSwitchedOff) {
    const struct {
        bool UseEffects;
        std::vector<const char*> Disabled;
        std::vector<std::string> Requested;
        std::size_t Built;
        bool UseEffectsAfter;
    } cases[] = {
        {true,
         {},
         {"Horizontal lines 1024x768", "Vertical lines 1024x768", "Big checkers 1024x768",
          "Small checkers 1024x768"},
         3,
         true},
        {true,
         {"Horizontal lines", "Vertical lines"},
         {"Big checkers 1024x768", "Small checkers 1024x768"},
         2,
         true},
        {true,
         {"Horizontal lines", "Big checkers", "Small checkers"},
         {"Vertical lines 1024x768"},
         0,
         false},
        {true,
         {"Horizontal lines", "Vertical lines", "Big checkers", "Small checkers"},
         {},
         0,
         false},
        {false, {}, {}, 0, false},
    };
    for (const auto& c : cases) {
        ScreenSaverSettings settings;
        settings.UseEffects = c.UseEffects;
        for (const char* name : c.Disabled)
            settings.TransitionEffects[name] = false;
        requested.clear();
        const EffectList effects = CreateEffects(settings, 1024, 768, &RecordingFactory);
        EXPECT_EQ(requested, c.Requested);
        EXPECT_EQ(effects.size(), c.Built);
        EXPECT_EQ(settings.UseEffects, c.UseEffectsAfter);
    }
    // The factory of the screen saver knows every name.
    ScreenSaverSettings all;
    EXPECT_EQ(CreateEffects(all, 800, 600).size(), 4u);
}

TEST(Transition, MessagesBetweenFramesAreLeftQueuedDroppedDispatchedOrEndTheLoop) {
    using M = FrameMessage;
    constexpr std::uint32_t kMouseMove = 0x0200, kQuit = 0x0012, kTimer = 0x0113;
    EXPECT_TRUE(LeavesMessageQueued(0x0010));  // WM_CLOSE
    EXPECT_TRUE(LeavesMessageQueued(0x0002));  // WM_DESTROY
    EXPECT_FALSE(LeavesMessageQueued(0x000F)); // WM_PAINT
    EXPECT_FALSE(LeavesMessageQueued(kMouseMove));
    const struct {
        std::uint32_t Message;
        std::uintptr_t WParam;
        int FetchResult;
        bool EnableKeys;
        FrameMessage Action;
    } cases[] = {
        {0x000F, 0, 1, true, M::Drop},          // paint: the window stays invalid
        {0x0100, 0x22, 1, true, M::Drop},       // Page Down with paging on
        {0x0100, 0x21, 1, true, M::Drop},       // Page Up
        {0x0100, 0x4522, 1, true, M::Drop},     // only the low byte counts
        {0x0100, 0x22, 1, false, M::Dispatch},  // without paging it closes
        {0x0100, 'A', 1, true, M::Dispatch},    // any other key closes
        {kMouseMove, 0, 1, false, M::Dispatch}, // so does the mouse
        {kTimer, 1, 1, false, M::Dispatch},     {kQuit, 0, 0, true, M::RepostQuitAndLeave},
        {kMouseMove, 0, -1, true, M::Leave}, // the window is gone
    };
    for (const auto& c : cases)
        EXPECT_EQ(FetchedMessageAction(c.Message, c.WParam, c.FetchResult, c.EnableKeys), c.Action)
            << std::hex << c.Message << " " << c.WParam;
}

} // namespace
