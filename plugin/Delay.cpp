#include "plugin/Delay.h"

#include "framework/IEditor.h"
#include "platform/ModulePath.h"
#include "plugin/DelayEditor.h"
#include "plugin/DelayEditorLink.h"
#include "plugin/DelayRouting.h"
#include "presets/PresetLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

constexpr double kMeterTimeConstantMs = 300.0;

} // namespace

const Delay::Handler Delay::kHandlers[static_cast<int>(ParamChangeHandler::Count)] = {
#define ZELBOR_HANDLER_ENTRY(name, base) &Delay::On##name,
    ZELBOR_HANDLER_FAMILIES(ZELBOR_HANDLER_ENTRY)
#undef ZELBOR_HANDLER_ENTRY
};

Delay::Delay(audioMasterCallback hostCallback)
    : IPlugVST(hostCallback, kNumHostParams, "1-1 2-2", kNumPrograms, "Zelbor", "", "Mardelwick",
               kVendorVersion, kUniqueId, kMfrId, 0, false, false, false)
{
    mLevelSmoother.Restart();
    for (int i = 0; i < kNumTaps; ++i)
    {
        mMeters[i].Init(kMeterTimeConstantMs, 44100.0);
        mMeterValues[i].store(0.0f, std::memory_order_relaxed);
    }

    mLanes = std::make_unique<LaneEngine>(*this);
    mPresets = std::make_unique<PresetLibrary>();
    AddParam(); // 216: bound by the preset name control
    AddParam(); // 217: the placeholder

    for (int i = 0; i < kNumTaps; ++i)
    {
        PairLineAndTap(mLines[i], mTaps[i], i, mTempo);
    }
    mOrderCount = 0;
    mLfoCountdown = 32;

    mPresets->Init();
    SetEngineSampleRate(44100.0);

    DeclareParams();
    BuildEditor();

    // Bring the engine in line with the declared values now, so that an
    // instance works before a host opens it (opening runs this again).
    NotifyAllParamsChanged();
    SetReadout("");
    // The first echoes come at their set times, not gliding in from the
    // 1-sample distance the rate setting left the heads at.
    StartClean();
}

Delay::~Delay()
{
    // The editor's controls go with the base; nothing may reach them through
    // the link meanwhile.
    mEditorLink = nullptr;
}

void Delay::DeclareParams()
{
    for (int k = 0; k < kNumAllParams; ++k)
    {
        mRows[k] = nullptr;
    }
    auto record = [this](const ParamDef& row) -> IPlugParam*
    {
        IPlugParam* p = row.index >= 0 ? GetParam(row.index) : nullptr;
        if (row.index >= 0 && row.index < kNumAllParams)
        {
            mRows[row.index] = &row;
        }
        return p;
    };
    for (const SwitchParamDef& row : kSwitchParamDefs)
    {
        if (IPlugParam* p = record(row))
        {
            p->DefineSwitch(row.name, row.defaultOn);
        }
    }
    // The scale reset and panic act when pressed; neither is kept pressed
    // in a state or a program.
    for (int idx : {static_cast<int>(kParamSclRst), static_cast<int>(kParamPanic)})
    {
        if (IPlugParam* p = GetParam(idx))
        {
            p->SetMomentary(true);
        }
    }
    for (const EnumParamDef& row : kEnumParamDefs)
    {
        if (IPlugParam* p = record(row))
        {
            p->DefineEnum(row.name, row.defaultValue, row.choiceCount);
            for (int c = 0; c < row.choiceCount; ++c)
            {
                p->AddDisplayText(c, row.choices[c]);
            }
        }
    }
    auto defineContinuous = [&](const ContinuousParamDef& row)
    {
        if (IPlugParam* p = record(row))
        {
            p->DefineContinuous(row.name, row.defaultValue, row.minimum, row.maximum, row.step,
                                row.label);
        }
    };
    for (const ContinuousParamDef& row : kContinuousParamDefs)
    {
        defineContinuous(row);
    }
    defineContinuous(kPlaceholderParamDef);
}

void Delay::BuildEditor()
{
    // The three multiplying scale knobs get a curved travel so that their
    // default of 1 sits near the middle.
    for (int idx : {kParamSclDly, kParamSclRate, kParamSclDpth})
    {
        if (IPlugParam* p = GetParam(idx))
        {
            p->SetShapeExponent(kScaleKnobShape);
        }
    }
    mEditorView = std::make_unique<DelayEditor>(*this);
    if (!mEditorView->Build())
    {
        mEditorView.reset();
    }
}

const ParamDef* Delay::DefinitionRow(int idx) const
{
    return idx >= 0 && idx < kNumAllParams ? mRows[idx] : nullptr;
}

// --- Base slots -----------------------------------------------------------------

void Delay::ResetEngine()
{
    const EngineEdit edit(*this);
    if (SampleRate() != mSampleRate)
    {
        SetEngineSampleRate(SampleRate());
    }
}

void Delay::OnMainsChanged(bool active)
{
    if (active)
    {
        StartClean();
    }
}

void Delay::ParamChanged(int paramIdx)
{
    const EngineEdit edit(*this);
    const ParamDef* row = DefinitionRow(paramIdx);
    const IPlugParam* param = GetParam(paramIdx);
    if (row == nullptr || param == nullptr)
    {
        return;
    }
    const int h = static_cast<int>(row->handler);
    if (h >= 0 && h < static_cast<int>(ParamChangeHandler::Count))
    {
        (this->*kHandlers[h])(*row, param->Value());
    }
    PublishEchoMap();
}

void Delay::PublishEchoMap()
{
    const double feedbackScale = mFeedbackScale * mFeedbackScaleFactor;
    for (int i = 0; i < kNumTaps; ++i)
    {
        const DelayLine& line = mLines[i];
        const DelayTap& tap = mTaps[i];
        EchoMapState::Tap& out = mEchoMap.taps[i];
        const bool hasInput = line.inputPort != 0 || line.sourceTapRef != nullptr;
        const double read = tap.Distance() / line.samplesPerMs;
        mEchoMap.Set(out.shown, hasInput && tap.active);
        mEchoMap.Set(out.timeMs, line.effectiveTimeMs);
        // Before the first block the heads have not moved to their time yet.
        mEchoMap.Set(out.readMs, read > 0.5 ? read : line.effectiveTimeMs);
        mEchoMap.Set(out.gain, tap.gain);
        mEchoMap.Set(out.feedback, line.feedbackGain * feedbackScale);
        mEchoMap.Set(out.depthMs, tap.lfoDepth * mLfoDepthScale);
        mEchoMap.Set(out.source, line.sourceTapRef ? line.sourceTapRef->index : kNoTap);
    }
}

void Delay::HandleMidiMessage(const MidiMessage& msg)
{
    const int kind = msg.status >> 4;
    if (kind == 8 || kind == 9)
    {
        return; // notes have no meaning here
    }
    if (kind == 11)
    {
        const ControllerMap& map = mControllers[0][msg.data1 & 0x7F];
        const int channel = msg.status & 0x0F;
        IPlugParam* p = GetParam(map.paramIdx);
        if (p != nullptr && (map.channelMask & (1 << channel)) != 0)
        {
            const EngineEdit edit(*this);
            const double v = (msg.data2 & 0x7F) * 0.007874015748031496;
            p->SetFromNormalized(v);
            if (IEditor* editor = GetEditor())
            {
                editor->PushParamToControls(map.paramIdx, v, true);
            }
            AutomateParameter(map.paramIdx, v);
            ParamChanged(map.paramIdx);
        }
        return;
    }
    SendMidiMessage(msg);
}

// --- Engine -----------------------------------------------------------------------

void Delay::SetEngineSampleRate(double rate)
{
    if (!(rate > 0.0) || !std::isfinite(rate))
    {
        return;
    }
    const EngineEdit edit(*this);
    mSampleRate = rate;
    mSamplesPerMs = rate * 0.001;
    mTempo.SetSampleRate(rate);
    for (int i = 0; i < kNumTaps; ++i)
    {
        mLines[i].SetSampleRate(rate);
        mTaps[i].SetSampleRate(rate);
        mMeters[i].SetSampleRate(static_cast<float>(rate));
    }
    mLevelSmoother.Restart();
    mLevelSmoother.SetCoefficient(0.95);
    mLevelSmoother.z = 0.0;
    mLevelGlidePerFrame = LevelGlidePerFrame(rate);
    // At least one sample, and within int range whatever rate the host names.
    mMeterPeriod = static_cast<int>(std::clamp(rate * 200.0 / 1000.0, 1.0, 1.0e9));
    mMeterCountdown = mMeterPeriod;
    // The buffers start silent; nothing of the old signal may leak into them.
    for (int i = 0; i <= kNumTaps; ++i)
    {
        mTapOutputs[i] = 0.0;
        mFeedbackValues[i] = 0.0;
    }
}

void Delay::RestartFadeIn()
{
    // Preset loading and saving call this outside any block; the audio
    // thread steps the same smoother.
    const EngineEdit edit(*this);
    mLevelSmoother.Restart();
}

void Delay::StartClean()
{
    const EngineEdit edit(*this);
    mLevelSmoother.Restart();
    for (int i = 0; i < kNumTaps; ++i)
    {
        mLines[i].Restart();
        mMeters[i].state = 0.0;
    }
    for (int i = 0; i <= kNumTaps; ++i)
    {
        mTapOutputs[i] = 0.0;
        mFeedbackValues[i] = 0.0;
    }
    mLfoCountdown = DelayTap::kControlInterval;
    mMeterCountdown = mMeterPeriod;
    mStartPending = true;
}

void Delay::PlaceTapsAtTargets()
{
    mLanes->MarkOutOfDate();
    for (DelayTap& tap : mTaps)
    {
        tap.Restart(mLfoDepthScale, mSamplesPerMs);
    }
}

void Delay::Panic()
{
    const EngineEdit edit(*this);
    mLevelSmoother.Restart();
    for (int i = 0; i < kNumTaps; ++i)
    {
        mLines[i].Clear();
        mTaps[i].ClearState();
    }
    for (int i = 0; i <= kNumTaps; ++i)
    {
        mTapOutputs[i] = 0.0;
        mFeedbackValues[i] = 0.0;
    }
}

void Delay::ApplyTempoToLines()
{
    mLanes->MarkOutOfDate();
    for (DelayLine& line : mLines)
    {
        const int k = line.noteIndex >= 0 && line.noteIndex < kNumNoteValues ? line.noteIndex : 9;
        line.noteTimeMs = mTempo.NoteMs(kNoteBeats[k]);
        if (line.mode == DelayLine::ModeTempo)
        {
            line.ApplyLineTime();
        }
    }
}

bool Delay::SourceChangeAllowed(int line, int requested) const
{
    int applied[kNumTaps];
    AppliedSources(applied);
    return ::SourceChangeAllowed(applied, line, requested);
}

bool Delay::SourceClosesLoop(int line, int requested) const
{
    int applied[kNumTaps];
    AppliedSources(applied);
    return ::SourceClosesLoop(applied, line, requested);
}

void Delay::AppliedSources(int (&applied)[kNumTaps]) const
{
    for (int i = 0; i < kNumTaps; ++i)
    {
        applied[i] = mLines[i].sourceTap;
    }
}

void Delay::RebuildRouting()
{
    mLanes->MarkOutOfDate();
    RoutingInput in;
    for (int i = 0; i < kNumTaps; ++i)
    {
        in.inputPort[i] = mLines[i].inputPort;
        in.sourceTap[i] = mLines[i].sourceTap;
        in.mains[i] = mTaps[i].mains;
    }
    RoutingResult r;
    ComputeRouting(in, r);

    for (int i = 0; i < kNumTaps; ++i)
    {
        DelayLine& line = mLines[i];
        line.sourceTapRef = r.lineSourceRef[i] != kNoTap ? &mTaps[r.lineSourceRef[i]] : nullptr;

        DelayTap& tap = mTaps[i];
        tap.ClearFedLines();
        for (int k = 0; k < r.tapFedCount[i]; ++k)
        {
            tap.AddFedLine(&mLines[r.tapFedLines[i][k]]);
        }
        tap.active = r.tapActive[i];
    }

    bool running[kNumTaps] = {};
    mOrderCount = r.orderCount;
    for (int k = 0; k < r.orderCount; ++k)
    {
        mOrder[k] = &mLines[r.order[k]];
        running[r.order[k]] = true;
    }
    // A line that stops running falls silent for the lines it feeds, instead
    // of holding its last sample for ever.
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (!running[i])
        {
            mTapOutputs[i] = 0.0;
            mFeedbackValues[i] = 0.0;
            mMeters[i].state = 0.0;
        }
    }
}

double Delay::LongestEchoPathMs() const
{
    // A line's reach is its own delay plus its source's reach. A line may
    // run before its source (it then hears the previous sample), so the
    // reaches settle over as many passes as a chain can be long.
    double own[kNumTaps + 1] = {};
    double reach[kNumTaps + 1] = {};
    for (int k = 0; k < mOrderCount; ++k)
    {
        const DelayLine& line = *mOrder[k];
        const double swing =
            std::fabs(static_cast<double>(mLfoDepthScale) * mTaps[line.index].lfoDepth);
        own[line.index] = std::min(line.effectiveTimeMs + swing, line.MaxTimeMs());
    }
    double longest = 0.0;
    for (int pass = 0; pass < kNumTaps; ++pass)
    {
        for (int k = 0; k < mOrderCount; ++k)
        {
            const DelayLine& line = *mOrder[k];
            const int source = line.sourceTapRef != nullptr ? line.sourceTapRef->index : kNoTap;
            reach[line.index] = own[line.index] + reach[source];
            longest = std::max(longest, reach[line.index]);
        }
    }
    return longest;
}

// --- Readout and editor ---------------------------------------------------------

void Delay::SetReadout(const char* text)
{
    // Handlers and the first block write it under the lock already; preset
    // loading does not.
    PlugLockGuard guard(Lock());
    std::snprintf(mReadout, sizeof mReadout, "%s", text != nullptr ? text : "");
    if (mEditorLink != nullptr)
    {
        mEditorLink->SetReadoutText(mReadout);
    }
}

void Delay::ShowReadout(const ParamDef& row, double value)
{
    char text[kReadoutSize];
    if (FormatReadout(row, value, text, sizeof text))
    {
        SetReadout(text);
    }
}

void Delay::UpdateStripVisibility(int tap)
{
    if (mEditorLink == nullptr || tap < 0 || tap >= kNumTaps)
    {
        return;
    }
    const DelayLine& line = mLines[tap];
    const bool hasInput = line.inputPort != 0 || line.sourceTap != kNoTap;
    mEditorLink->UpdateStripVisibility(tap, hasInput, line.mode);
}

void Delay::ResetScaleKnobs()
{
    // Each knob goes back to its default exactly (not through the curved
    // normalised travel), the host and the editor learn it, and the handler
    // runs as for any other change.
    for (int idx : {kParamSclDly, kParamSclFbk, kParamSclRate, kParamSclDpth})
    {
        IPlugParam* p = GetParam(idx);
        const ParamDef* row = DefinitionRow(idx);
        if (p == nullptr || row == nullptr)
        {
            continue;
        }
        p->SetValue(static_cast<const ContinuousParamDef*>(row)->defaultValue);
        if (IEditor* editor = GetEditor())
        {
            editor->PushParamToControls(idx, p->Value(), false);
        }
        AutomateParameter(idx, p->ToNormalized());
        ParamChanged(idx);
    }
}

// --- Presets ----------------------------------------------------------------------

IPlugParam* Delay::FindParamByName(const char* name)
{
    return ::FindParamByName(*this, name);
}

void Delay::SavePresetFile(const char* path)
{
    ::SavePresetFile(*this, mPresets->Name(), path);
}

void Delay::LoadPresetFile(const char* path)
{
    ::LoadPresetFile(*this, mPresets->Name(), path);
}

void Delay::LoadPresetNumber(int number)
{
    mPresets->LoadNumber(*this, number);
}

void Delay::RescanPresets()
{
    mPresets->Rescan();
}

bool Delay::SkippedInPresetFiles(int paramIdx) const
{
    return paramIdx == kParamSclRst || paramIdx == kParamPanic || paramIdx == kParamPlaceholder;
}

void Delay::ShowPresetName(const char* name)
{
    if (mEditorLink != nullptr)
    {
        mEditorLink->SetPresetName(name);
    }
}
