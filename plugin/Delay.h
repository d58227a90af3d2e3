#pragma once

#include "dsp/DelayLine.h"
#include "dsp/DelayTap.h"
#include "dsp/OnePoleSmoother.h"
#include "dsp/TempoInfo.h"
#include "framework/vst/IPlugVST.h"
#include "plugin/DelayParams.h"
#include "plugin/DelayReadout.h"
#include "plugin/EchoMap.h"
#include "plugin/LaneEngine.h"
#include "plugin/TapMeter.h"
#include "presets/PresetFile.h"

#include <atomic>
#include <cmath>
#include <memory>

class DelayEditor;
class DelayEditorLink;
class PresetLibrary;

// A MIDI controller assignment: the parameter a controller number drives and
// the channels (bit per channel) it listens on.
struct ControllerMap
{
    int paramIdx = -1;
    int channelMask = 0;
};

// The eight-tap modulated stereo delay: identity, parameters, handlers and
// block processing around eight delay lines with one tap each.
class Delay : public IPlugVST, public PresetTarget
{
public:
    static constexpr int kNumPrograms = 6;
    static constexpr int kUniqueId = 0x6D775A62; // 'mwZb'
    static constexpr int kMfrId = 0x6D64776B;    // 'mdwk'
    static constexpr int kVendorVersion = 0x00010000;

    // A null host callback gives a working instance without transport (120
    // BPM, 4/4, position 0).
    explicit Delay(audioMasterCallback hostCallback);
    ~Delay() override;

    // Re-allocates the engine when the base's sample rate changed.
    void ResetEngine() override;
    // Switching on starts the engine clean (StartClean).
    void OnMainsChanged(bool active) override;
    // Runs the changed parameter's handler.
    void ParamChanged(int paramIdx) override;
    // One block of stereo audio: inputs[0..1] to outputs[0..1].
    void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
    // Note messages are swallowed, assigned controllers set parameters, the
    // rest goes through to the host.
    void HandleMidiMessage(const MidiMessage& msg) override;

    // --- Engine ---------------------------------------------------------------

    // New engine rate: every line gets a fresh silent buffer, taps, LFOs,
    // filters, smoothers and meters follow. Rates that are not positive
    // finite numbers are ignored.
    void SetEngineSampleRate(double rate);
    double EngineSampleRate() const { return mSampleRate; }
    // Silences every line, filter and head at once and fades the output in.
    void Panic();
    // The output level starts again from silence (preset load and save).
    void RestartFadeIn() override;
    // Everything as if freshly loaded, so that each run from here sounds the
    // same: the lines, tap outputs, feedback values and filters emptied, the
    // LFOs back at their start phase (the random shape keeps its seeding),
    // the control step and meters restarted and the output fading in again.
    // The first block afterwards puts every read distance straight at its
    // target (no glide), with the settings it then has.
    void StartClean();
    // Works out which lines run and in which order from the In, Rx and Mains
    // settings.
    void RebuildRouting();
    // Whether line may take tap requested (or kNoTap) as its source under the
    // routing's loop rule (SourceChangeAllowed), with the sources in force.
    bool SourceChangeAllowed(int line, int requested) const;

    DelayLine& Line(int i) { return mLines[i]; }
    const DelayLine& Line(int i) const { return mLines[i]; }
    DelayTap& Tap(int i) { return mTaps[i]; }
    const DelayTap& Tap(int i) const { return mTaps[i]; }
    const TempoInfo& Tempo() const { return mTempo; }
    // Lines in processing order.
    int ProcessingOrderCount() const { return mOrderCount; }
    int ProcessingOrderLine(int k) const { return mOrder[k]->index; }
    // The fastest kernel this processor runs, found once per process.
    static LaneKernel FastestLaneKernel() { return LaneEngine::FastestKernel(); }
    static const char* LaneKernelName(LaneKernel kernel) { return LaneEngine::KernelName(kernel); }
    // Chooses the kernel (new instances take the fastest); a wide one only
    // where the processor runs it, else the next narrower. For checks and
    // measurements.
    void SetLaneKernel(LaneKernel kernel) { mLanes->SetKernel(kernel); }
    void SetGroupKernel(const GroupKernel& kernel) { mLanes->SetGroupKernel(kernel); }
    LaneKernel ActiveLaneKernel() const { return mLanes->Kernel(); }
    // The longest a sound can travel through the running lines before it
    // next reaches the outputs: along each chain of sources, the delays with
    // their largest LFO excursion added up (milliseconds; 0 when no line
    // runs). A tail that stays silent for longer has ended.
    double LongestEchoPathMs() const;
    // Latest output of tap i (what a line fed by it hears).
    double TapOutput(int i) const { return mTapOutputs[i]; }
    // The definition row behind parameter idx, or null.
    const ParamDef* DefinitionRow(int idx) const;

    // --- Readout and meters -----------------------------------------------------

    // Text of the value readout: the latest changed parameter in its unit.
    const char* ReadoutText() const { return mReadout; }
    void SetReadout(const char* text);
    // Meter position 0..1 of tap i, refreshed every 200 ms of audio. Safe to
    // read from any thread.
    float MeterValue(int i) const { return mMeterValues[i].load(std::memory_order_relaxed); }
    // What the editor's echo map shows; safe to read from any thread.
    const EchoMapState& EchoMap() const { return mEchoMap; }

    // --- Editor and presets -----------------------------------------------------

    // The editor's side of the readout, strip visibility and preset name.
    void SetEditorLink(DelayEditorLink* link) { mEditorLink = link; }
    // The editor description built with the effect (null if none could be).
    DelayEditor* EditorView() const { return mEditorView.get(); }
    // Configuration, preset tree and current preset name.
    PresetLibrary& Presets() { return *mPresets; }
    // Writes or reads a ".preset" file (nothing for a null or empty path).
    void SavePresetFile(const char* path);
    void LoadPresetFile(const char* path);
    // Loads the preset with that number in the scanned preset tree (the
    // preset menu's numbering); nothing for a number without a preset.
    void LoadPresetNumber(int number);
    // Scans the configured preset folder again.
    void RescanPresets();
    // The first parameter with that exact non-empty name, or null.
    IPlugParam* FindParamByName(const char* name);

    // What preset loading and saving need from the effect.
    IPlugBase& Plugin() override { return *this; }
    void ShowPresetName(const char* name) override;
    void SetReadoutText(const char* text) override { SetReadout(text); }
    // The two momentary buttons (Scl_Rst, Panic) and the placeholder.
    bool SkippedInPresetFiles(int paramIdx) const override;

private:
    using Handler = void (Delay::*)(const ParamDef& row, double value);
    static const Handler kHandlers[static_cast<int>(ParamChangeHandler::Count)];

    void DeclareParams();
    void BuildEditor();
    void ShowReadout(const ParamDef& row, double value);
    void UpdateStripVisibility(int tap);
    void ResetScaleKnobs();
    void ApplyTempoToLines();
    void StoreRoutingResult();
    // Whether line taking tap requested as its source would close a loop,
    // with the sources in force.
    bool SourceClosesLoop(int line, int requested) const;
    void AppliedSources(int (&applied)[kNumTaps]) const;
    // The lane engine runs the lines of a block with the engine's records.
    friend class LaneEngine;
    // Holds the plug-in lock for a change to the engine, so that the next
    // block gathers its lanes afresh from the engine's records.
    class EngineEdit
    {
    public:
        explicit EngineEdit(Delay& delay) : mGuard(delay.Lock()) { delay.mLanes->MarkOutOfDate(); }

    private:
        PlugLockGuard mGuard;
    };
    // One stretch sample by sample through the engine's objects.
    void RunSamples(const LaneEngine::Lane* lanes, double gain, const double* in0,
                    const double* in1, double* out0, double* out1, int count);
    void ControlStep();
    void UpdateMeters();
    // Copies what the echo map shows out of the engine (under the lock).
    void PublishEchoMap();
    // The pending part of StartClean, at the top of a block.
    void PlaceTapsAtTargets();

    // Handlers, one per parameter family.
    void OnPlaceholder(const ParamDef& row, double v);
    void OnWet(const ParamDef& row, double v);
    void OnDry(const ParamDef& row, double v);
    void OnLevel(const ParamDef& row, double v);
    void OnFbScale(const ParamDef& row, double v);
    void OnIn(const ParamDef& row, double v);
    void OnRx(const ParamDef& row, double v);
    void OnMode(const ParamDef& row, double v);
    void OnTime(const ParamDef& row, double v);
    void OnBpm(const ParamDef& row, double v);
    void OnFb(const ParamDef& row, double v);
    void OnLpf(const ParamDef& row, double v);
    void OnHpf(const ParamDef& row, double v);
    void OnPct(const ParamDef& row, double v);
    void OnRate(const ParamDef& row, double v);
    void OnDepth(const ParamDef& row, double v);
    void OnShape(const ParamDef& row, double v);
    void OnGain(const ParamDef& row, double v);
    void OnPhase(const ParamDef& row, double v);
    void OnPan(const ParamDef& row, double v);
    void OnMains(const ParamDef& row, double v);
    void OnOper(const ParamDef& row, double v);
    void OnSclRst(const ParamDef& row, double v);
    void OnSclDly(const ParamDef& row, double v);
    void OnSclFbk(const ParamDef& row, double v);
    void OnSclRate(const ParamDef& row, double v);
    void OnSclDpth(const ParamDef& row, double v);
    void OnPanic(const ParamDef& row, double v);

    // The first block after construction clears the readout.
    bool mFirstBlock = true;

    ControllerMap mControllers[2][128];

    TempoInfo mTempo;

    // Engine values of the global parameters.
    double mOutputLevel = 1.0;
    double mDryLevel = 0.7;
    double mWetLevel = 0.7;
    double mFeedbackScale = 1.0;
    double mFeedbackScaleFactor = 1.0;
    float mLfoRateScale = 1.0f;
    float mLfoDepthScale = 1.0f;

    OnePoleSmoother mLevelSmoother{0.99};
    // The output level glides by two smoother steps a block, each with the
    // coefficient 0.95 of a 512-frame block at 44.1 kHz, scaled to the
    // block's length and the rate: the fade-in and level changes take the
    // same time whatever block size the host uses. The log of the step
    // coefficient per frame.
    static double LevelGlidePerFrame(double rate)
    {
        return rate > 0.0 ? std::log(0.95) * 44100.0 / (512.0 * rate) : 0.0;
    }
    double mLevelGlidePerFrame = LevelGlidePerFrame(44100.0);

    DelayLine mLines[kNumTaps];
    DelayTap mTaps[kNumTaps];

    // Entry i belongs to line/tap i; entry kNoTap stays 0 so that "no source"
    // reads silence.
    double mTapOutputs[kNumTaps + 1] = {};
    double mFeedbackValues[kNumTaps + 1] = {};

    TapMeter mMeters[kNumTaps];
    std::atomic<float> mMeterValues[kNumTaps];

    int mMeterCountdown = 0;
    int mMeterPeriod = 0;
    DelayLine* mOrder[kNumTaps] = {};
    int mOrderCount = 0;
    int mLfoCountdown = 32;
    bool mStartPending = false;

    std::unique_ptr<LaneEngine> mLanes;
    double mSampleRate = 0.0;
    double mSamplesPerMs = 0.0;

    char mReadout[kReadoutSize] = {};
    DelayEditorLink* mEditorLink = nullptr;
    std::unique_ptr<DelayEditor> mEditorView; // the editor description and link
    EchoMapState mEchoMap;

    std::unique_ptr<PresetLibrary> mPresets;

    const ParamDef* mRows[kNumAllParams] = {};
};
