#pragma once

#include "graphics/IControl.h"
#include "graphics/ITextStyle.h"

struct EchoMapState;

// A picture of the echo pattern: each tap with an input as a mark at its
// delay time, as tall as the tap is loud, followed by the repeats its
// feedback makes; a band around the mark spans the LFO's reach, and a line
// links a tap to the taps it feeds. The axis, labelled in milliseconds, runs
// to a round time past the furthest tap that leaves room for its first
// repeats; taps at the same time stand side by side. Display only: the
// mouse never reaches it.
class EchoMapControl : public IControl
{
public:
    EchoMapControl(IPlugBase* plug, const IBox& rect, const EchoMapState& state);

    bool Paint(IGraphics* graphics) override;
    bool HitTest(int x, int y) override;
    bool NeedsPaint() override;

    // The time at the axis's right end in milliseconds (0 when no tap is
    // shown), and the step of its ticks.
    static float AxisEndMs(const EchoMapState& state, float* tickMs = nullptr);

private:
    const EchoMapState& state;
    unsigned shownVersion = ~0u;
    ITextStyle letterStyle{"Arial", 11, IColorRGBA(255, 158, 166, 179), ITextStyle::Bold,
                           ITextStyle::Centre};
    ITextStyle labelStyle{"Arial", 10, IColorRGBA(255, 110, 117, 128), ITextStyle::Normal,
                          ITextStyle::Right};
};
