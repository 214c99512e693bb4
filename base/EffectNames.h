// The four transition effects: a kind each, and the name that is at once the effect's registry
// value (under "Transition Effects"), its item in the configuration's list and the key by which
// the show builds it. Written once, here.
#pragma once

enum class EffectKind { HorizontalLines, VerticalLines, BigCheckers, SmallCheckers };

struct EffectName {
    EffectKind Kind;
    const char* Name;
    // Its place in the configuration's list, which shows the effects in another order.
    int ListIndex;
};

// In the order in which the settings are read and written and the effects are set up.
constexpr EffectName kEffectNames[] = {
    {EffectKind::HorizontalLines, "Horizontal lines", 1},
    {EffectKind::VerticalLines, "Vertical lines", 0},
    {EffectKind::BigCheckers, "Big checkers", 2},
    {EffectKind::SmallCheckers, "Small checkers", 3},
};
constexpr int kEffectCount = 4;

// The effect at `index` of the configuration's list.
constexpr const EffectName& ListedEffect(int index) {
    for (const EffectName& effect : kEffectNames)
        if (effect.ListIndex == index) return effect;
    return kEffectNames[0];
}

// The name of `kind`.
constexpr const char* NameOf(EffectKind kind) {
    for (const EffectName& effect : kEffectNames)
        if (effect.Kind == kind) return effect.Name;
    return "";
}
