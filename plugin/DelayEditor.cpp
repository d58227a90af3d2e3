#include "plugin/DelayEditor.h"

#include "graphics/EditorGraphics.h"
#include "graphics/IContactControl.h"
#include "graphics/IGraphics.h"
#include "graphics/IKnobMultiControl.h"
#include "graphics/ISpinnerControl.h"
#include "graphics/ISwitchControl.h"
#include "plugin/Delay.h"
#include "plugin/DelayModeControl.h"
#include "plugin/EchoMapControl.h"
#include "plugin/InputPortControl.h"
#include "plugin/TapMeterControl.h"
#include "presets/PresetNameControl.h"

namespace
{

// The editor's images: resource id, file name (which picks the decoder) and
// frame count.
struct Image
{
    int id;
    const char* file;
    int frames;
};

constexpr Image kBackground{100, "img/delay-bg_v2.png", 1};
constexpr Image kStripKnob{101, "img/knob-24x101-simple.png", 101};
constexpr Image kGlobalKnob{102, "img/knob-40x101.png", 101};
constexpr Image kOperMode{103, "img/oper-mode.png", 3};
constexpr Image kLfoShape{105, "img/lfo-shape.png", 5};
constexpr Image kDelayMode{108, "img/delay-mode-sans-join-14x14.png", 2};
constexpr Image kPhase{109, "img/phase-14.png", 2};
constexpr Image kPan{110, "img/pan-50x14-101.png", 101};
constexpr Image kOnOff{112, "img/on-off-14x14.png", 2};
constexpr Image kMeter{113, "img/magnitude-gradient-12x24.png", 50};
constexpr Image kScaleKnob{114, "img/scale-knob-32x32.png", 101};
constexpr Image kResetButton{115, "img/reset-button-12x12.png", 2};
constexpr Image kPanicButton{116, "img/panic-16x16.png", 2};
constexpr Image kInputs{117, "img/inputs.png", 6};

constexpr double kDragDivisor = 8.0;
constexpr IBox kEchoMapBox(24, 84, 400, 262);
constexpr int kFirstStripRow = 305;
constexpr int kStripPitch = 32;

IBitmapRef Load(IGraphics& g, const Image& image)
{
    return g.LoadBitmapRef(image.id, image.file, image.frames);
}

} // namespace

DelayEditor::DelayEditor(Delay& effect) : delay(effect) {}

ITextStyle DelayEditor::StripText()
{
    return ITextStyle("Arial", 14, IColorRGBA(255, 255, 255, 255), ITextStyle::Normal,
                      ITextStyle::Left);
}

ITextStyle DelayEditor::NameText()
{
    return ITextStyle("Arial", 16, IColorRGBA(255, 255, 255, 255), ITextStyle::Normal,
                      ITextStyle::Centre);
}

bool DelayEditor::Build()
{
    graphics = CreateEditorGraphics(&delay, kWidth, kHeight, 0);
    if (!graphics)
    {
        return false;
    }
    IGraphics& g = *graphics;
    g.SetBackground(kBackground.id, kBackground.file);
    Load(g, kStripKnob);
    const IBitmapRef globalKnob = Load(g, kGlobalKnob);

    const struct
    {
        int param;
        int x;
        int y;
    } globals[] = {{kParamWet, 486, 35},
                   {kParamDry, 543, 35},
                   {kParamLevel, 600, 35},
                   {kParamFbScale, 486, 104}};
    for (const auto& k : globals)
    {
        g.AddControl(new IKnobMultiControl(&delay, k.x, k.y, k.param, globalKnob, 0, kDragDivisor));
    }

    for (int tap = 0; tap < kNumTaps; ++tap)
    {
        BuildTapStrip(tap, kFirstStripRow + kStripPitch * tap);
    }

    presetName = new PresetNameControl(&delay, IBox(488, 164, 645, 180), kParamPresetName,
                                       NameText(), delay.Presets(), delay);
    g.AddControl(presetName);
    readout = new ITextControl(&delay, IBox(416, 213, 560, 233), NameText(), "");
    g.AddControl(readout);

    const IBitmapRef scaleKnob = Load(g, kScaleKnob);
    const IBitmapRef resetButton = Load(g, kResetButton);
    const IBitmapRef panicButton = Load(g, kPanicButton);

    scaleReset = new IContactControl(&delay, 376, 624, kParamSclRst, resetButton);
    g.AddControl(scaleReset);
    const struct
    {
        int param;
        int x;
    } scales[] = {
        {kParamSclDly, 416}, {kParamSclFbk, 470}, {kParamSclRate, 535}, {kParamSclDpth, 577}};
    for (int k = 0; k < 4; ++k)
    {
        scaleKnobs[k] = new IKnobMultiControl(&delay, scales[k].x, 600, scales[k].param, scaleKnob,
                                              0, kDragDivisor);
        g.AddControl(scaleKnobs[k]);
    }
    g.AddControl(new IContactControl(&delay, 576, 104, kParamPanic, panicButton));
    // After every control of the fixed layout, so that no index moves.
    g.AddControl(new EchoMapControl(&delay, kEchoMapBox, delay.EchoMap()));

    delay.SetEditorLink(this);
    delay.AttachEditor(graphics);
    return true;
}

void DelayEditor::BuildTapStrip(int tap, int y)
{
    IGraphics& g = *graphics;
    const IBitmapRef knob = Load(g, kStripKnob);
    Load(g, kGlobalKnob);
    Load(g, kOperMode); // shipped with every strip; no control shows it
    const IBitmapRef onOff = Load(g, kOnOff);
    const IBitmapRef lfoShape = Load(g, kLfoShape);
    const IBitmapRef meter = Load(g, kMeter);
    const IBitmapRef phase = Load(g, kPhase);
    const IBitmapRef pan = Load(g, kPan);
    const IBitmapRef inputs = Load(g, kInputs);
    const IBitmapRef delayMode = Load(g, kDelayMode);
    const ITextStyle text = StripText();
    DelayLine* line = &delay.Line(tap);
    TapStrip& s = strips[tap];

    auto knobAt = [&](int x, int top, int base, const IBitmapRef& bmp, int axis = 0)
    {
        auto* k = new IKnobMultiControl(&delay, x, top, base + tap, bmp, axis, kDragDivisor);
        g.AddControl(k);
        return k;
    };
    auto switchAt = [&](int x, int top, int base, const IBitmapRef& bmp)
    {
        auto* sw = new ISwitchControl(&delay, x, top, base + tap, bmp);
        g.AddControl(sw);
        return sw;
    };

    s.input = switchAt(56, y + 2, kBaseIn, inputs);
    s.source = new InputPortControl(&delay, IBox(90, y + 2, 114, y + 18), kBaseRx + tap, text, tap);
    g.AddControl(s.source);
    s.mode = new DelayModeControl(&delay, 106, y + 12, kBaseMode + tap, delayMode, line);
    g.AddControl(s.mode);
    s.time = knobAt(122, y, kBaseTime, knob);
    s.bpm = new ISpinnerControl(&delay, IBox(122, y + 4, 146, y + 20), kBaseBpm + tap, text,
                                nullptr, true, false, 0, kDragDivisor);
    g.AddControl(s.bpm);
    s.highPass = knobAt(168, y, kBaseHpf, knob);
    s.lowPass = knobAt(203, y, kBaseLpf, knob);
    s.feedback = knobAt(254, y, kBaseFb, knob);
    s.injection = knobAt(320, y, kBasePct, knob);
    s.lfoShape = switchAt(362, y + 4, kBaseShape, lfoShape);
    s.lfoRate = knobAt(396, y, kBaseRate, knob);
    s.lfoDepth = knobAt(429, y, kBaseDepth, knob);
    s.gain = knobAt(475, y, kBaseGain, knob);
    s.meter = new TapMeterControl(&delay, 507, y + 14, meter, delay, tap);
    g.AddControl(s.meter);
    s.phase = switchAt(562, y + 4, kBasePhase, phase);
    s.pan = knobAt(586, y + 4, kBasePan, pan, 1);
    s.mains = switchAt(644, y + 4, kBaseMains, onOff);
}

void DelayEditor::SetReadoutText(const char* text)
{
    if (readout)
    {
        readout->SetText(text);
    }
}

void DelayEditor::SetPresetName(const char* name)
{
    if (presetName)
    {
        presetName->SetText(name);
    }
}

void DelayEditor::UpdateStripVisibility(int tap, bool hasInput, int mode)
{
    if (tap < 0 || tap >= kNumTaps || !strips[tap].input)
    {
        return;
    }
    TapStrip& s = strips[tap];
    IControl* rest[] = {s.highPass, s.lowPass, s.feedback, s.injection, s.lfoShape, s.lfoRate,
                        s.lfoDepth, s.gain,    s.meter,    s.phase,     s.pan,      s.mains};
    for (IControl* c : rest)
    {
        c->SetHidden(!hasInput);
    }
    const bool bpm = mode == 0;
    s.time->SetHidden(!hasInput || bpm);
    s.bpm->SetHidden(!hasInput || !bpm);
}
