#pragma once

#include "graphics/ITextControl.h"

// Shows the bound parameter's display text, optionally followed by its
// label.
class ICaptionControl : public ITextControl
{
public:
    ICaptionControl(IPlugBase* plug, const IBox& rect, int paramIdx, const ITextStyle& style,
                    bool showLabel = false);

    bool Paint(IGraphics* graphics) override;

    bool showLabel;
};
