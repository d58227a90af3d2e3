#pragma once

#include "graphics/IBitmapControl.h"

// A filmstrip switch: each press steps to the next frame and wraps from the
// last to the first. The right button asks for a value instead.
class ISwitchControl : public IBitmapControl
{
public:
    using IBitmapControl::IBitmapControl;

    void MouseDown(int x, int y, const IMouseKeys& keys) override;
};
