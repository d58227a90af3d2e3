#pragma once

#include "graphics/ITextStyle.h"
#include "plugin/DelayEditorLink.h"
#include "plugin/DelayParams.h"
#include "plugin/TapStrip.h"

class Delay;
class IGraphics;
class IKnobMultiControl;
class IContactControl;
class ITextControl;
class PresetNameControl;

// The effect's editor: a 720 x 650 picture of a background, the global
// knobs, eight tap strips, the preset name field, the value readout and the
// scale and panic controls, on the platform's window layer. It keeps the
// controls the effect updates later and is the effect's link to them.
class DelayEditor : public DelayEditorLink
{
public:
    static constexpr int kWidth = 720;
    static constexpr int kHeight = 650;

    explicit DelayEditor(Delay& delay);

    // Creates the graphics, fills it with every control in drawing order and
    // attaches it to the effect, which owns it from then on. False when no
    // graphics could be made.
    bool Build();

    void SetReadoutText(const char* text) override;
    void UpdateStripVisibility(int tap, bool hasInput, int mode) override;
    void SetPresetName(const char* name) override;

    IGraphics* Graphics() const { return graphics; }
    const TapStrip& Strip(int tap) const { return strips[tap]; }
    PresetNameControl* PresetName() const { return presetName; }
    ITextControl* Readout() const { return readout; }

    // Text styles of the strips' captions and of the name and readout.
    static ITextStyle StripText();
    static ITextStyle NameText();

private:
    void BuildTapStrip(int tap, int y);

    Delay& delay;
    IGraphics* graphics = nullptr; // owned by the effect once attached
    TapStrip strips[kNumTaps];
    PresetNameControl* presetName = nullptr;
    ITextControl* readout = nullptr;
    IContactControl* scaleReset = nullptr;
    IKnobMultiControl* scaleKnobs[4] = {};
};
