// The transition effects' common interface. An effect paints the new picture onto the screen piece
// by piece over one transition, and paints black whatever of the old picture the new one does not
// cover. It draws only through an EffectSurface, so the same code runs on a window's device
// context and on a software canvas.
#pragma once

#include "base/EffectNames.h"
#include "base/Rect.h"

#include <cstdint>
#include <memory>

// Where an effect draws: the screen, with the new picture's bitmap beside it as the source.
class EffectSurface {
public:
    virtual ~EffectSurface() = default;
    // Copies width x height pixels of the picture, from (sourceX, sourceY) of the picture, to the
    // screen at (x, y).
    virtual void CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) = 0;
    // Paints width x height pixels of the screen black at (x, y).
    virtual void PaintBlack(int x, int y, int width, int height) = 0;
};

class TransitionEffect {
public:
    // cx x cy: the window's size as it was created (the screen, or the preview window).
    TransitionEffect(int cx, int cy) : Cx(cx), Cy(cy) {}
    virtual ~TransitionEffect() = default;
    TransitionEffect(const TransitionEffect&) = delete;
    TransitionEffect& operator=(const TransitionEffect&) = delete;

    // Starts a transition from the picture at oldRect (all zero before the first picture) to the
    // one at newRect.
    virtual void Begin(const Rect& oldRect, const Rect& newRect) = 0;
    // Draws what became due up to progress (0 to 1, never decreasing within a transition); 1.0
    // completes the new picture.
    virtual void Step(EffectSurface& surface, float progress) = 0;
    // Ends the transition, releasing what Begin allocated.
    virtual void End() = 0;

protected:
    std::int32_t Cx;
    std::int32_t Cy;
};

// The effect of that kind, built for a cx x cy window.
std::unique_ptr<TransitionEffect> CreateTransitionEffect(EffectKind kind, int cx, int cy);
