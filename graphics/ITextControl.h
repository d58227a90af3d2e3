#pragma once

#include "graphics/AtomicText.h"
#include "graphics/IControl.h"
#include "graphics/ITextStyle.h"

#include <string>

// A line of text in its own style (with its own font). Greyed text takes a
// darker colour: each channel 128 lower, at least 0. The colour is chosen
// when painting from the greyed flag, which another thread may set.
//
// The effect's handlers set texts on the host's thread (even the audio
// thread, once) while the editor paints, so the text is an AtomicText:
// neither side ever waits for the other.
class ITextControl : public IControl
{
public:
    ITextControl(IPlugBase* plug, const IBox& rect, const ITextStyle& style, const char* text = "");

    bool Paint(IGraphics* graphics) override;

    // Replaces the text and marks the control dirty; the same text again
    // changes nothing.
    void SetText(const char* text);
    std::string GetText() const;

    ITextStyle textStyle;
    IColorRGBA normalColor;
    IColorRGBA greyColor;

protected:
    // Draws text (or the control's own text when null) in the style for the
    // current greyed state.
    bool PaintText(IGraphics* graphics, const char* text = nullptr);
    // Stores the parameter's display text for the control's value, with a
    // space and the label when asked; nothing without a parameter.
    void FormatParam(const IPlugParam* param, bool withLabel);
    // Replaces the text without marking; answers whether it changed.
    bool StoreText(const char* text);

private:
    AtomicText text;
    std::string paintText; // the editor thread's copy, reused between paints
};
