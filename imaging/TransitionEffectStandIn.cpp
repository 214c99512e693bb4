// STAND-IN, to be deleted when the real transition effects land: every effect name gets one
// simple effect that wipes the new picture in from left to right across the union of the old and
// the new rectangle, painting black what the new picture does not cover.
#include "imaging/TransitionEffect.h"

#include <algorithm>
#include <cstring>

namespace {

class WipeStandInEffect : public TransitionEffect {
public:
    using TransitionEffect::TransitionEffect;

    void Begin(const Rect& oldRect, const Rect& newRect) override {
        new_ = newRect;
        union_ = newRect;
        if (oldRect.left < oldRect.right && oldRect.top < oldRect.bottom) {
            union_.left = std::min(union_.left, oldRect.left);
            union_.top = std::min(union_.top, oldRect.top);
            union_.right = std::max(union_.right, oldRect.right);
            union_.bottom = std::max(union_.bottom, oldRect.bottom);
        }
        done_ = 0;
    }

    void Step(EffectSurface& surface, float progress) override {
        const int width = union_.right - union_.left;
        const int due = std::min(width, static_cast<int>(width * progress));
        for (; done_ < due; ++done_)
            DrawColumn(surface, union_.left + done_);
    }

    void End() override {}

private:
    void DrawColumn(EffectSurface& surface, int x) {
        const int height = union_.bottom - union_.top;
        if (x < new_.left || x >= new_.right || new_.top >= new_.bottom) {
            surface.PaintBlack(x, union_.top, 1, height);
            return;
        }
        if (new_.top > union_.top) surface.PaintBlack(x, union_.top, 1, new_.top - union_.top);
        if (union_.bottom > new_.bottom)
            surface.PaintBlack(x, new_.bottom, 1, union_.bottom - new_.bottom);
        surface.CopyPicture(x, new_.top, 1, new_.bottom - new_.top, x - new_.left, 0);
    }

    Rect new_;
    Rect union_;
    int done_ = 0;
};

} // namespace

std::unique_ptr<TransitionEffect> CreateTransitionEffect(const char* name, int cx, int cy) {
    for (const char* known :
         {"Horizontal lines", "Vertical lines", "Big checkers", "Small checkers"})
        if (name != nullptr && std::strcmp(name, known) == 0)
            return std::make_unique<WipeStandInEffect>(cx, cy);
    return nullptr;
}
