#pragma once

// What the effect tells its editor besides parameter values: the value
// readout text and which controls of a tap strip to show. The editor that the
// effect builds implements it; the effect does not own it (the plug-in base
// owns the editor).
class DelayEditorLink
{
public:
    virtual ~DelayEditorLink() = default;

    // The readout control's new text (called under the plug-in lock).
    virtual void SetReadoutText(const char* text) = 0;
    // Shows or hides the controls of tap strip tap: hasInput says whether the
    // line has an input port or a source tap, mode is 0 "bpm" or 1 "msec".
    virtual void UpdateStripVisibility(int tap, bool hasInput, int mode) = 0;
    // The preset name control's new text.
    virtual void SetPresetName(const char* name) = 0;
};
