#include "graphics/IKnobMultiControl.h"

#include "graphics/IGraphics.h"

IKnobMultiControl::IKnobMultiControl(IPlugBase* plugIn, int x, int y, int param,
                                     const IBitmapRef& bmp, int knobAxis, double divisor)
    : IKnobControl(plugIn, IBox(x, y, x + bmp.width, y + bmp.FrameHeight()), param, knobAxis,
                   divisor),
      bitmap(bmp)
{
}

bool IKnobMultiControl::Paint(IGraphics* graphics)
{
    const IDrawBlend paintBlend = PaintBlend();
    graphics->DrawFrame(bitmap, rect, FilmstripFrame(bitmap.frames, false), &paintBlend);
    return true;
}
