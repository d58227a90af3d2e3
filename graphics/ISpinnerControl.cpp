#include "graphics/ISpinnerControl.h"

#include "framework/IPlugParam.h"

ISpinnerControl::ISpinnerControl(IPlugBase* plugIn, const IBox& box, int param,
                                 const ITextStyle& style, IPlugParam* own, bool value, bool label,
                                 int spinAxis, double divisor)
    : ITextControl(plugIn, box, style, ""), axis(spinAxis), dragDivisor(divisor), showValue(value),
      showLabel(label), ownParam(own)
{
    paramIdx = param;
}

IPlugParam* ISpinnerControl::ShownParam() const
{
    if (paramIdx >= 0)
    {
        return Param();
    }
    return ownParam;
}

void ISpinnerControl::MouseDrag(int, int, int dX, int dY, const IMouseKeys&)
{
    if (greyed)
    {
        return;
    }
    const int extent = axis != 0 ? rect.right - rect.left : rect.top - rect.bottom;
    if (extent == 0 || dragDivisor == 0.0)
    {
        return;
    }
    AddWrapped(static_cast<double>(axis != 0 ? dX : dY) / extent / dragDivisor);
}

void ISpinnerControl::MouseWheel(int, int, const IMouseKeys& keys, int delta)
{
    if (greyed)
    {
        return;
    }
    const IPlugParam* param = ShownParam();
    double step = delta * 0.01;
    if (param)
    {
        const double range = param->Max() - param->Min();
        const double quotient = range != 0.0 ? param->Step() / range : 0.0;
        if (param->Kind() != KindContinuous && quotient != 0.0)
        {
            step = delta * quotient;
        }
        else if (keys.control || keys.shift)
        {
            step = delta * 0.001;
        }
    }
    AddWrapped(step);
}

bool ISpinnerControl::Paint(IGraphics* graphics)
{
    if (paramIdx < 0 && ownParam)
    {
        ownParam->SetFromNormalized(value);
    }
    const IPlugParam* param = ShownParam();
    if (showValue)
    {
        FormatParam(param, showLabel);
    }
    return PaintText(graphics);
}
