#include "slideshow/Transition.h"

#include "settings/ScreenSaverSettings.h"
#include "slideshow/RandomSource.h"

float TransitionProgress(std::uint32_t start, std::uint32_t now, std::int32_t effectMillis) {
    if (effectMillis <= 0) return 1.0f;
    if (effectMillis > kLongestTransitionMillis) effectMillis = kLongestTransitionMillis;
    const std::uint32_t elapsed = now - start;
    return static_cast<float>(static_cast<double>(elapsed) / effectMillis);
}

bool LeavesMessageQueued(std::uint32_t message) {
    return message == WindowMessage::Close || message == WindowMessage::Destroy;
}

FrameMessage FetchedMessageAction(std::uint32_t message, std::uintptr_t wParam, int fetchResult,
                                  bool enableKeys) {
    if (fetchResult < 0) return FrameMessage::Leave;
    // The window stays invalid and is painted after the transition.
    if (message == WindowMessage::Paint) return FrameMessage::Drop;
    // Paging keys during a transition are lost: a step never starts inside another.
    const unsigned key = static_cast<unsigned>(wParam & 0xFF);
    if (message == WindowMessage::KeyDown && enableKeys &&
        (key == WindowMessage::PageDown || key == WindowMessage::PageUp))
        return FrameMessage::Drop;
    if (fetchResult == 0) return FrameMessage::RepostQuitAndLeave;
    return FrameMessage::Dispatch;
}

void RunTransition(const std::vector<TransitionPart>& parts, std::int32_t effectMillis,
                   TransitionHost& host) {
    for (const TransitionPart& part : parts)
        part.Effect->Begin(part.OldRect, part.NewRect);
    const auto stepAll = [&parts](float progress) {
        for (const TransitionPart& part : parts)
            part.Effect->Step(*part.Surface, progress);
    };
    const std::uint32_t start = host.TickCount();
    float progress = TransitionProgress(start, host.TickCount(), effectMillis);
    while (progress < 1.0f) {
        const std::uint32_t frameStart = host.TickCount();
        stepAll(progress);
        const std::uint32_t drawn = host.TickCount() - frameStart;
        if (drawn < kFrameMillis) host.Sleep(kFrameMillis - drawn);
        if (!host.TakeOneMessage()) break;
        progress = TransitionProgress(start, host.TickCount(), effectMillis);
    }
    stepAll(1.0f);
    for (const TransitionPart& part : parts)
        part.Effect->End();
}

void RunTransition(TransitionEffect& effect, EffectSurface& surface, const Rect& oldRect,
                   const Rect& newRect, std::int32_t effectMillis, TransitionHost& host) {
    RunTransition({TransitionPart{&effect, &surface, oldRect, newRect}}, effectMillis, host);
}

EffectOrder::EffectOrder(std::size_t count) : places_(count) {
    for (std::size_t place = 0; place < count; ++place)
        places_[place] = place;
}

void EffectOrder::Advance(RandomSource& random) {
    ShuffleCyclic(places_, random);
}

EffectList CreateEffects(ScreenSaverSettings& settings, int cx, int cy, EffectFactory factory) {
    EffectList effects;
    if (!settings.UseEffects) return effects;
    for (const char* name : kEffectNames) {
        if (!settings.IsEffectEnabled(name)) continue;
        if (auto effect = factory(name, cx, cy)) effects.push_back(std::move(effect));
    }
    if (effects.empty()) settings.UseEffects = false;
    return effects;
}
