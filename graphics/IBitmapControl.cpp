#include "graphics/IBitmapControl.h"

#include "graphics/IGraphics.h"

IBitmapControl::IBitmapControl(IPlugBase* plugIn, int x, int y, int param, const IBitmapRef& bmp,
                               int blendKind)
    : IControl(plugIn, IBox(x, y, x + bmp.width, y + bmp.FrameHeight()), param, blendKind, 1.0f),
      bitmap(bmp)
{
}

bool IBitmapControl::Paint(IGraphics* graphics)
{
    const IDrawBlend paintBlend = PaintBlend();
    graphics->DrawFrame(bitmap, rect, FilmstripFrame(bitmap.frames, true), &paintBlend);
    return true;
}
