#include "plugin/InputPortControl.h"

#include "graphics/IPopupMenu.h"
#include "plugin/Delay.h"

namespace
{

const char* const kTapLetters[kNumTaps] = {"A", "B", "C", "D", "E", "F", "G", "H"};

} // namespace

InputPortControl::InputPortControl(Delay* owner, const IBox& box, int param,
                                   const ITextStyle& style, int stripTap)
    : ICaptionControl(owner, box, param, style, false), delay(owner), tap(stripTap)
{
}

InputPortControl::~InputPortControl() = default;

void InputPortControl::MouseDown(int, int, const IMouseKeys&)
{
    AskUserForValue();
}

IPopupMenu* InputPortControl::BuildParamMenu()
{
    if (!menu)
    {
        menu = std::make_unique<IPopupMenu>();
        for (int t = 0; t < kNumTaps; ++t)
        {
            menu->InsertText(kTapLetters[t])->tag = t;
        }
        menu->InsertSeparator();
        menu->InsertText("None")->tag = TagNone;
    }
    menu->CheckAll(false);
    menu->EnableAll(true);
    if (!delay || tap < 0 || tap >= kNumTaps)
    {
        return menu.get();
    }
    // The routing belongs to the engine and changes under the plug-in lock.
    PlugLockGuard guard(delay->Lock());
    for (int t = 0; t < kNumTaps; ++t)
    {
        if (!delay->SourceChangeAllowed(tap, t))
        {
            menu->EnableByTag(t, false);
        }
    }
    const DelayTap* source = delay->Line(tap).sourceTapRef;
    menu->CheckByTag(source ? source->index : TagNone, true);
    return menu.get();
}

void InputPortControl::DiscardMenu(IPopupMenu*) {}
