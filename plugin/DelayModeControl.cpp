#include "plugin/DelayModeControl.h"

#include "dsp/DelayLine.h"
#include "framework/IPlugBase.h"
#include "graphics/IPopupMenu.h"

namespace
{

enum
{
    TagBpm = 0,
    TagMsec = 1,
    TagJoin = 2
};

} // namespace

DelayModeControl::DelayModeControl(IPlugBase* plugIn, int x, int y, int param,
                                   const IBitmapRef& bmp, DelayLine* tapLine)
    : ISwitchControl(plugIn, x, y, param, bmp), line(tapLine)
{
}

DelayModeControl::~DelayModeControl() = default;

IPopupMenu* DelayModeControl::BuildParamMenu()
{
    if (!menu)
    {
        menu = std::make_unique<IPopupMenu>();
        menu->InsertText("bpm")->tag = TagBpm;
        menu->InsertText("msec")->tag = TagMsec;
        menu->InsertSeparator();
        menu->InsertText("join")->tag = TagJoin;
    }
    menu->CheckAll(false);
    menu->EnableAll(true);
    if (!line || !plug)
    {
        return menu.get();
    }
    PlugLockGuard guard(plug->Lock());
    if (line->index == 0)
    {
        menu->EnableByTag(TagJoin, false);
    }
    menu->CheckByTag(line->mode == DelayLine::ModeTempo ? TagBpm : TagMsec, true);
    return menu.get();
}

void DelayModeControl::DiscardMenu(IPopupMenu*) {}
