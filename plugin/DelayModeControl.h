#pragma once

#include "graphics/ISwitchControl.h"

#include <memory>

class DelayLine;
class IPopupMenu;

// The tap strip's time-mode switch: a left click toggles between "bpm" and
// "msec", a right click offers "bpm", "msec" and "join" as a menu ("join" is
// not a mode of its own: choosing it leaves the line in "msec"; tap A has
// nothing to join and shows it disabled).
class DelayModeControl : public ISwitchControl
{
public:
    DelayModeControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmapRef& bitmap,
                     DelayLine* line);
    ~DelayModeControl() override;

    IPopupMenu* BuildParamMenu() override;
    void DiscardMenu(IPopupMenu* menu) override;

private:
    std::unique_ptr<IPopupMenu> menu;
    DelayLine* line;
};
