#pragma once

#include "graphics/IBitmapRef.h"
#include "graphics/IKnobControl.h"

// A knob drawn from a filmstrip: the frame follows the value.
class IKnobMultiControl : public IKnobControl
{
public:
    IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmapRef& bitmap,
                      int axis = 0, double dragDivisor = 1.0);

    bool Paint(IGraphics* graphics) override;

    IBitmapRef bitmap;
};
