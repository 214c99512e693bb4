// The transition from one picture to the next: the effect list, frame pacing, the messages taken
// between frames and the final frame. The system's clock, sleep and message queue come in through
// TransitionHost, so the whole loop runs the same against a test's clock.
#pragma once

#include "imaging/TransitionEffect.h"

#include <cstdint>
#include <memory>
#include <vector>

class RandomSource;
class ScreenSaverSettings;

// Frames are at least this many milliseconds apart (about 30 a second).
constexpr std::uint32_t kFrameMillis = 33;

// The elapsed fraction of a transition that started at tick `start`: the tick difference taken as
// unsigned (a wrap of the counter does no harm), divided by effectMillis, as a float. A duration of
// 0 or less (only a hand-edited registry holds one) gives 1: no frames but the final one. One
// longer than kLongestTransitionMillis takes that long: a transition of weeks would keep the
// first picture from ever showing.
constexpr std::int32_t kLongestTransitionMillis = 60000;
float TransitionProgress(std::uint32_t start, std::uint32_t now, std::int32_t effectMillis);

// The window messages the loop looks at, numbered as the system numbers them.
namespace WindowMessage {
constexpr std::uint32_t Destroy = 0x0002;
constexpr std::uint32_t Paint = 0x000F;
constexpr std::uint32_t Close = 0x0010;
constexpr std::uint32_t KeyDown = 0x0100;
constexpr unsigned PageUp = 0x21;
constexpr unsigned PageDown = 0x22;
} // namespace WindowMessage

// A closing message waiting for the window ends the loop and stays queued for the main loop.
bool LeavesMessageQueued(std::uint32_t message);

enum class FrameMessage {
    Drop,               // taken and not dispatched
    Dispatch,           // translated and dispatched
    RepostQuitAndLeave, // the quit message: post it again for the main loop and end the loop
    Leave,              // the fetch failed: end the loop
};
// What the loop does with a message it fetched: fetchResult is what the fetch answered (0 for the
// quit message, -1 on failure).
FrameMessage FetchedMessageAction(std::uint32_t message, std::uintptr_t wParam, int fetchResult,
                                  bool enableKeys);

// The clock and the message queue a transition runs against.
class TransitionHost {
public:
    virtual ~TransitionHost() = default;
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t millis) = 0;
    // Handles at most one message waiting for the window; false when the transition must end.
    virtual bool TakeOneMessage() = 0;
};

// One monitor's part of a transition: its effect, where it draws, and where the old and the new
// picture stand (in the coordinates the surface takes).
struct TransitionPart {
    TransitionEffect* Effect;
    EffectSurface* Surface;
    Rect OldRect;
    Rect NewRect;
};

// One transition on every part at once: Begin on each, frames at least kFrameMillis apart while
// the progress is below 1, each frame stepping every part to the same progress, with at most one
// message between frames, then the final Step(1.0) on each part in every case (it completes the
// new pictures also when the loop was left early or never entered), and End on each.
void RunTransition(const std::vector<TransitionPart>& parts, std::int32_t effectMillis,
                   TransitionHost& host);
// The same with one part.
void RunTransition(TransitionEffect& effect, EffectSurface& surface, const Rect& oldRect,
                   const Rect& newRect, std::int32_t effectMillis, TransitionHost& host);

using EffectList = std::vector<std::unique_ptr<TransitionEffect>>;

// The order in which the enabled effects take turns, as places in an effect list that
// CreateEffects built: every monitor has a list of its own, built alike for its own size, and one
// order serves them all, so that all monitors run the same effect. Next() runs the next
// transition; Advance() reorders with ShuffleCyclic, so that with two or more effects another one
// comes next, as if the list itself were reshuffled.
class EffectOrder {
public:
    explicit EffectOrder(std::size_t count = 0);
    bool Empty() const { return places_.empty(); }
    std::size_t Next() const { return places_.front(); }
    void Advance(RandomSource& random);

private:
    std::vector<std::size_t> places_;
};

using EffectFactory = std::unique_ptr<TransitionEffect> (*)(const char* name, int cx, int cy);

// With UseEffects on, the enabled effects in the fixed order "Horizontal lines", "Vertical
// lines", "Big checkers", "Small checkers", each built for a cx x cy screen. When none results,
// UseEffects is switched off in `settings` (in memory only).
EffectList CreateEffects(ScreenSaverSettings& settings, int cx, int cy,
                         EffectFactory factory = &CreateTransitionEffect);
