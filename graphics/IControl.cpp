#include "graphics/IControl.h"

#include "framework/IPlugBase.h"
#include "framework/IPlugParam.h"
#include "graphics/IGraphics.h"
#include "graphics/IPopupMenu.h"

#include <cmath>
#include <cstring>

namespace
{

constexpr int kMenuColumnLength = 24;

} // namespace

IControl::IControl(IPlugBase* plugIn, const IBox& box, int param, int blendKind, float blendWeight)
    : plug(plugIn), rect(box), targetRect(box), paramIdx(param), blend(blendKind, blendWeight)
{
}

IPlugParam* IControl::Param() const
{
    return plug && paramIdx >= 0 ? plug->GetParam(paramIdx) : nullptr;
}

IGraphics* IControl::Graphics() const
{
    return plug ? dynamic_cast<IGraphics*>(plug->GetEditor()) : nullptr;
}

IDrawBlend IControl::PaintBlend() const
{
    return IDrawBlend(blend.kind, greyed ? 0.25f : blend.weight);
}

void IControl::MouseDown(int, int, const IMouseKeys& keys)
{
    if (keys.right)
    {
        AskUserForValue();
    }
}

void IControl::MouseUp(int, int, const IMouseKeys&) {}

void IControl::MouseDrag(int, int, int, int, const IMouseKeys&) {}

void IControl::MouseDoubleClick(int, int, const IMouseKeys&)
{
    if (defaultValue >= 0.0)
    {
        value = defaultValue;
        MarkDirty(true);
    }
}

void IControl::MouseWheel(int, int, const IMouseKeys& keys, int delta)
{
    value = value + delta * ((keys.control || keys.shift) ? 0.001 : 0.01);
    MarkDirty(true);
}

void IControl::KeyDown(int, int, int) {}

void IControl::MouseOver(int, int, const IMouseKeys&) {}

void IControl::MouseOut() {}

void IControl::TakePlugValue(double v)
{
    if (defaultValue < 0.0)
    {
        defaultValue = v;
        value = v;
    }
    else if (v == value)
    {
        return;
    }
    else
    {
        value = v;
    }
    MarkChangedElsewhere();
}

void IControl::SetHidden(bool flag)
{
    hidden = flag;
    MarkChangedElsewhere();
}

void IControl::SetGreyed(bool flag)
{
    greyed = flag;
    MarkChangedElsewhere();
}

void IControl::MarkChangedElsewhere()
{
    // The editor's thread may be painting and clearing the marks meanwhile:
    // the pending flag, set first, keeps this change for the next frame.
    repaintPending = true;
    MarkDirty(false);
}

bool IControl::HitTest(int x, int y)
{
    return targetRect.Contains(x, y);
}

void IControl::MarkDirty(bool push)
{
    const double v = value;
    if (clampLow > v)
    {
        value = clampLow;
    }
    else if (v > clampHigh)
    {
        value = clampHigh;
    }
    dirty = true;
    changed = true;
    if (push && plug && paramIdx >= 0)
    {
        plug->SetParameterFromGUI(paramIdx, value);
    }
}

void IControl::MarkPainted()
{
    // Cleared first: a change marked from another thread meanwhile sets the
    // pending flag before its mark, so one of the two keeps it.
    dirty = false;
    if (repaintPending.exchange(false))
    {
        dirty = true;
    }
}

bool IControl::NeedsPaint()
{
    return dirty;
}

void IControl::ResetToDefault()
{
    value = defaultValue;
    MarkDirty(true);
    repaintPending = true;
}

IPopupMenu* IControl::BuildParamMenu()
{
    const IPlugParam* param = Param();
    if (!param)
    {
        return nullptr;
    }
    const int count = param->DisplayTextCount();
    const bool choices = param->Kind() == KindEnum || (param->Kind() == KindSwitch && count > 0);
    if (!choices)
    {
        return nullptr;
    }
    // The current choice is the one this control shows, so the menu reads
    // nothing the host's thread may be writing.
    return IGraphics::DisplayTextMenu(*param, param->FromNormalized(value), kMenuColumnLength);
}

void IControl::DiscardMenu(IPopupMenu* menu)
{
    delete menu;
}

void IControl::MenuChosen(IPopupMenu*, int index)
{
    const IPlugParam* param = Param();
    if (!param || param->DisplayTextCount() == 0)
    {
        return;
    }
    const double range = param->Max() - param->Min();
    const double step =
        (param->Kind() == KindContinuous || range == 0.0) ? 0.0 : param->Step() / range;
    const double v = index * step;
    if (v != value)
    {
        value = v;
        MarkDirty(true);
        repaintPending = true;
    }
}

void IControl::TakeUserValue(double v)
{
    if (v == value)
    {
        return;
    }
    value = v;
    MarkDirty(true);
    repaintPending = true;
}

void IControl::AskUserForValue()
{
    if (paramIdx < 0 || noPrompt)
    {
        return;
    }
    if (IGraphics* graphics = Graphics())
    {
        graphics->PromptForValue(this, Param(), false);
    }
    repaintPending = true;
}

int IControl::FilmstripFrame(int frames, bool singleFrameRule) const
{
    if (singleFrameRule && frames <= 1)
    {
        return 1;
    }
    double v = value;
    if (!(v >= -1.0)) // also NaN
    {
        v = -1.0;
    }
    else if (v > 2.0)
    {
        v = 2.0;
    }
    int frame = static_cast<int>((frames - 1) * v + 0.5) + 1;
    if (frame < 1)
    {
        frame = 1;
    }
    if (frame > frames)
    {
        frame = frames;
    }
    return frame;
}

void IControl::AddWrapped(double delta)
{
    const double v = value + delta;
    if (v < 0.0)
    {
        value = 1.0;
    }
    else if (v > 1.0)
    {
        value = 0.0;
    }
    else
    {
        value = v;
    }
    MarkDirty(true);
}
