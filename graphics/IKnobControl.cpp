#include "graphics/IKnobControl.h"

IKnobControl::IKnobControl(IPlugBase* plugIn, const IBox& box, int param, int knobAxis,
                           double divisor)
    : IControl(plugIn, box, param, BlendCopyAlpha, 1.0f), axis(knobAxis), dragDivisor(divisor)
{
}

void IKnobControl::MouseDrag(int, int, int dX, int dY, const IMouseKeys& keys)
{
    double g = dragDivisor;
    if (keys.control || keys.shift)
    {
        g *= 10.0;
    }
    const int extent = axis == 0 ? rect.top - rect.bottom : rect.right - rect.left;
    if (extent == 0 || g == 0.0)
    {
        return;
    }
    const double d = static_cast<double>(axis == 0 ? dY : dX) / extent;
    value = value + d / g;
    MarkDirty(true);
}
