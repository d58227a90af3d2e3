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
    // "on" from the right-click menu presses the button and lets it go, as a
    // click does (the menu takes the release).
    void MenuChosen(IPopupMenu* menu, int index) override;
};
