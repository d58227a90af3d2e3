#include "graphics/IContactControl.h"

IContactControl::IContactControl(IPlugBase* plugIn, int x, int y, int param, const IBitmapRef& bmp,
                                 int blendKind)
    : ISwitchControl(plugIn, x, y, param, bmp, blendKind)
{
    doubleClickAsDown = true;
}

void IContactControl::MouseUp(int, int, const IMouseKeys&)
{
    value = 0.0;
    MarkDirty(true);
}

void IContactControl::MenuChosen(IPopupMenu* menu, int index)
{
    ISwitchControl::MenuChosen(menu, index);
    if (value != 0.0)
    {
        value = 0.0;
        MarkDirty(true);
        repaintPending = true;
    }
}
