#include "imaging/TransitionEffect.h"

#include "imaging/CheckersEffect.h"
#include "imaging/LinesEffect.h"

#include <cstring>

std::unique_ptr<TransitionEffect> CreateTransitionEffect(const char* name, int cx, int cy) {
    if (name == nullptr) return nullptr;
    if (std::strcmp(name, "Horizontal lines") == 0)
        return std::make_unique<HorizontalLinesEffect>(cx, cy);
    if (std::strcmp(name, "Vertical lines") == 0)
        return std::make_unique<VerticalLinesEffect>(cx, cy);
    if (std::strcmp(name, "Big checkers") == 0)
        return std::make_unique<CheckersEffect>(cx, cy, CheckersEffect::BigDivisor);
    if (std::strcmp(name, "Small checkers") == 0)
        return std::make_unique<CheckersEffect>(cx, cy, CheckersEffect::SmallDivisor);
    return nullptr;
}
