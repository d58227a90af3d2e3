#include "graphics/ICaptionControl.h"

ICaptionControl::ICaptionControl(IPlugBase* plugIn, const IBox& box, int param,
                                 const ITextStyle& style, bool label)
    : ITextControl(plugIn, box, style, ""), showLabel(label)
{
    paramIdx = param;
}

bool ICaptionControl::Paint(IGraphics* graphics)
{
    FormatParam(Param(), showLabel);
    return PaintText(graphics);
}
