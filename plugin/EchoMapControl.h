#pragma once

#include "graphics/IControl.h"
#include "graphics/ITextStyle.h"

struct EchoMapState;

// A picture of the echo pattern: each tap with an input as a mark at its
// delay time (the axis runs to the longest tap), as tall as the tap is loud,
// followed by the repeats its feedback makes; a band around the mark spans
// the LFO's reach, and a line links a tap to the taps it feeds. Display
// only: the mouse never reaches it.
class EchoMapControl : public IControl
{
public:
    EchoMapControl(IPlugBase* plug, const IBox& rect, const EchoMapState& state);

    bool Paint(IGraphics* graphics) override;
    bool HitTest(int x, int y) override;
    bool NeedsPaint() override;

private:
    const EchoMapState& state;
    unsigned shownVersion = ~0u;
    ITextStyle letterStyle{"Arial", 11, IColorRGBA(255, 158, 166, 179), ITextStyle::Bold,
                           ITextStyle::Centre};
};
