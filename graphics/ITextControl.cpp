#include "graphics/ITextControl.h"

#include "framework/IPlugParam.h"
#include "graphics/IGraphics.h"

#include <cstdio>

namespace
{

int Darker(int channel)
{
    return channel > 128 ? channel - 128 : 0;
}

} // namespace

ITextControl::ITextControl(IPlugBase* plugIn, const IBox& box, const ITextStyle& style,
                           const char* initialText)
    : IControl(plugIn, box, -1, BlendCopyAlpha, 1.0f), textStyle(style), normalColor(255, 0, 0, 0),
      greyColor(255, 0, 0, 0), text(initialText)
{
    normalColor = textStyle.color;
    greyColor = IColorRGBA(255, Darker(textStyle.color.red), Darker(textStyle.color.green),
                           Darker(textStyle.color.blue));
    paintText.reserve(AtomicText::Capacity);
}

bool ITextControl::StoreText(const char* newText)
{
    return text.Store(newText);
}

void ITextControl::SetText(const char* newText)
{
    // The text is in place before the control is marked, so a paint that
    // sees the mark also sees the new text.
    if (StoreText(newText))
    {
        MarkChangedElsewhere();
    }
}

std::string ITextControl::GetText() const
{
    std::string copy;
    text.Load(copy);
    return copy;
}

bool ITextControl::PaintText(IGraphics* graphics, const char* explicitText)
{
    if (!explicitText)
    {
        text.Load(paintText);
        explicitText = paintText.c_str();
    }
    if (explicitText[0] == 0)
    {
        return true;
    }
    textStyle.color = greyed ? greyColor : normalColor;
    return graphics->DrawTextIn(textStyle, explicitText, rect);
}

bool ITextControl::Paint(IGraphics* graphics)
{
    return PaintText(graphics);
}

void ITextControl::FormatParam(const IPlugParam* param, bool withLabel)
{
    if (!param)
    {
        return;
    }
    // Formatted from the control's own value, the parameter's normalised
    // value as last pushed, so painting reads nothing the host's thread
    // writes.
    char buf[kParamTextSize * 2];
    param->FormatValue(param->FromNormalized(value), false, buf, kParamTextSize);
    if (withLabel)
    {
        char* end = buf;
        while (*end)
        {
            ++end;
        }
        std::snprintf(end, sizeof(buf) - static_cast<size_t>(end - buf), " %s", param->Label());
    }
    StoreText(buf);
}
