#pragma once

#include "graphics/ISwitchControl.h"

// A momentary button: pressed while held, back to state 0 on release. A
// double-click counts as a second press.
class IContactControl : public ISwitchControl
{
public:
    IContactControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmapRef& bitmap,
                    int blendKind = BlendCopyAlpha);

    void MouseUp(int x, int y, const IMouseKeys& keys) override;
};
