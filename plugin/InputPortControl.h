#pragma once

#include "dsp/TapIndex.h"
#include "graphics/ICaptionControl.h"

#include <memory>

class Delay;
class IPopupMenu;

// The tap strip's source selector: shows the tap feeding the line ("A" ...
// "H", "-") and, on a press with either button, offers the taps as a menu
// in which every tap the routing would refuse as the line's source (the
// line's own tap, the current source and any tap that would close a loop)
// is disabled, and the current source is checked.
class InputPortControl : public ICaptionControl
{
public:
    enum
    {
        TagNone = kNoTap
    };

    // tap: the strip's tap, whose line the control routes.
    InputPortControl(Delay* delay, const IBox& rect, int paramIdx, const ITextStyle& style,
                     int tap);
    ~InputPortControl() override;

    void MouseDown(int x, int y, const IMouseKeys& keys) override;
    IPopupMenu* BuildParamMenu() override;
    void DiscardMenu(IPopupMenu* menu) override;

private:
    std::unique_ptr<IPopupMenu> menu;
    Delay* delay;
    int tap;
};
