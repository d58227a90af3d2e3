#pragma once

class DelayModeControl;
class IBitmapControl;
class IControl;
class IKnobMultiControl;
class ISpinnerControl;
class ISwitchControl;
class InputPortControl;

// The controls of one tap's row in the editor, owned by the editor's
// graphics. Kept so that the effect can show or hide them as the tap's
// routing and time mode change.
struct TapStrip
{
    ISwitchControl* input = nullptr;
    InputPortControl* source = nullptr;
    DelayModeControl* mode = nullptr;
    IKnobMultiControl* time = nullptr;
    ISpinnerControl* bpm = nullptr;
    IKnobMultiControl* highPass = nullptr;
    IKnobMultiControl* lowPass = nullptr;
    IKnobMultiControl* feedback = nullptr;
    IKnobMultiControl* injection = nullptr;
    ISwitchControl* lfoShape = nullptr;
    IKnobMultiControl* lfoRate = nullptr;
    IKnobMultiControl* lfoDepth = nullptr;
    ISwitchControl* phase = nullptr;
    IKnobMultiControl* gain = nullptr;
    ISwitchControl* mains = nullptr;
    IKnobMultiControl* pan = nullptr;
    IBitmapControl* meter = nullptr;
};
