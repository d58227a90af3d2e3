#pragma once

#include "graphics/ICaptionControl.h"

#include <memory>

class DelayLine;
class IPopupMenu;

// The tap strip's source selector: shows the tap feeding the line ("A" ...
// "H", "-") and, on a press with either button, offers the taps as a menu
// in which the line's own tap and every tap that would close a loop are
// disabled, and the current source is checked.
class InputPortControl : public ICaptionControl
{
public:
    enum
    {
        TagNone = 8
    };

    // line: the line of the same tap, owned by the effect.
    InputPortControl(IPlugBase* plug, const IBox& rect, int paramIdx, const ITextStyle& style,
                     DelayLine* line);
    ~InputPortControl() override;

    void MouseDown(int x, int y, const IMouseKeys& keys) override;
    IPopupMenu* BuildParamMenu() override;
    void DiscardMenu(IPopupMenu* menu) override;

private:
    std::unique_ptr<IPopupMenu> menu;
    DelayLine* line;
};
