#pragma once

#include "graphics/IControl.h"

// A control turned by dragging: vertically (axis 0, up raises the value) or
// horizontally. A drag across the control's full extent changes the value
// by 1 / dragDivisor; Control or Shift make it ten times finer.
class IKnobControl : public IControl
{
public:
    IKnobControl(IPlugBase* plug, const IBox& rect, int paramIdx, int axis, double dragDivisor);

    void MouseDrag(int x, int y, int dX, int dY, const IMouseKeys& keys) override;

    int axis;
    double dragDivisor;
};
