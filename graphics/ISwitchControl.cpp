#include "graphics/ISwitchControl.h"

void ISwitchControl::MouseDown(int x, int y, const IMouseKeys& keys)
{
    if (keys.right)
    {
        IControl::MouseDown(x, y, keys);
        return;
    }
    const int frames = bitmap.frames;
    double v = value + (frames >= 2 ? 1.0 / (frames - 1) : 1.0);
    if (v > 1.001)
    {
        v = 0.0;
    }
    value = v;
    MarkDirty(true);
}
