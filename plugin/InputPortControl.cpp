#include "plugin/InputPortControl.h"

#include "dsp/DelayLine.h"
#include "dsp/DelayTap.h"
#include "framework/IPlugBase.h"
#include "graphics/IPopupMenu.h"
#include "plugin/DelayParams.h"

namespace
{

const char* const kTapLetters[kNumTaps] = {"A", "B", "C", "D", "E", "F", "G", "H"};

// Marks every tap reached downstream of line: the taps reading it, and,
// recursively, the lines those taps feed. seen guards against a loop the
// routing may hold for a moment.
void MarkDownstream(const DelayLine* line, bool (&reached)[kNumTaps], bool (&seen)[kNumTaps])
{
    if (!line || line->index < 0 || line->index >= kNumTaps || seen[line->index])
    {
        return;
    }
    seen[line->index] = true;
    for (int k = 0; k < line->tapCount; ++k)
    {
        const DelayTap* tap = line->taps[static_cast<size_t>(k)];
        if (!tap || tap->index < 0 || tap->index >= kNumTaps)
        {
            continue;
        }
        reached[tap->index] = true;
        for (int f = 0; f < tap->fedCount; ++f)
        {
            const DelayLine* fed = tap->fedLines[static_cast<size_t>(f)];
            if (fed && fed->index >= 0 && fed->index < kNumTaps)
            {
                reached[fed->index] = true;
                MarkDownstream(fed, reached, seen);
            }
        }
    }
}

// Marks the line's resolved source tap, the line that tap reads, and so on
// upstream.
void MarkUpstream(const DelayLine* line, bool (&reached)[kNumTaps])
{
    for (int steps = 0; line && steps < kNumTaps; ++steps)
    {
        const DelayTap* source = line->sourceTapRef;
        if (!source || source->index < 0 || source->index >= kNumTaps)
        {
            return;
        }
        reached[source->index] = true;
        line = source->line;
        if (line && line->index >= 0 && line->index < kNumTaps)
        {
            reached[line->index] = true;
        }
    }
}

} // namespace

InputPortControl::InputPortControl(IPlugBase* plugIn, const IBox& box, int param,
                                   const ITextStyle& style, DelayLine* tapLine)
    : ICaptionControl(plugIn, box, param, style, false), line(tapLine)
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
    if (!line || !plug)
    {
        return menu.get();
    }
    // The routing belongs to the engine and changes under the plug-in lock.
    PlugLockGuard guard(plug->Lock());
    bool disabled[kNumTaps] = {};
    bool seen[kNumTaps] = {};
    if (line->index >= 0 && line->index < kNumTaps)
    {
        disabled[line->index] = true;
    }
    MarkDownstream(line, disabled, seen);
    MarkUpstream(line, disabled);
    for (int t = 0; t < kNumTaps; ++t)
    {
        if (disabled[t])
        {
            menu->EnableByTag(t, false);
        }
    }
    const int current = line->sourceTapRef ? line->sourceTapRef->index : TagNone;
    menu->CheckByTag(current, true);
    return menu.get();
}

void InputPortControl::DiscardMenu(IPopupMenu*) {}
