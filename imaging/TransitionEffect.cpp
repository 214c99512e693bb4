#include "imaging/TransitionEffect.h"

#include "imaging/CheckersEffect.h"
#include "imaging/LinesEffect.h"

std::unique_ptr<TransitionEffect> CreateTransitionEffect(EffectKind kind, int cx, int cy) {
    switch (kind) {
    case EffectKind::HorizontalLines:
        return std::make_unique<HorizontalLinesEffect>(cx, cy);
    case EffectKind::VerticalLines:
        return std::make_unique<VerticalLinesEffect>(cx, cy);
    case EffectKind::BigCheckers:
        return std::make_unique<CheckersEffect>(cx, cy, CheckersEffect::kBigDivisor);
    case EffectKind::SmallCheckers:
        return std::make_unique<CheckersEffect>(cx, cy, CheckersEffect::kSmallDivisor);
    }
    return nullptr;
}
