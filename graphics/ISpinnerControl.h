#pragma once

#include "graphics/ITextControl.h"

// A text that is dragged or wheeled through its range and wraps around at
// both ends. Choice parameters move one step per wheel notch. Without a
// bound parameter it may show a parameter object of its own (ownParam, not
// owned; it must outlive the control).
class ISpinnerControl : public ITextControl
{
public:
    ISpinnerControl(IPlugBase* plug, const IBox& rect, int paramIdx, const ITextStyle& style,
                    IPlugParam* ownParam = nullptr, bool showValue = true, bool showLabel = false,
                    int axis = 0, double dragDivisor = 1.0);

    void MouseDrag(int x, int y, int dX, int dY, const IMouseKeys& keys) override;
    void MouseWheel(int x, int y, const IMouseKeys& keys, int delta) override;
    bool Paint(IGraphics* graphics) override;

    int axis;
    double dragDivisor;
    bool showValue;
    bool showLabel;
    IPlugParam* ownParam;

private:
    // The bound parameter, else ownParam, else null.
    IPlugParam* ShownParam() const;
};
