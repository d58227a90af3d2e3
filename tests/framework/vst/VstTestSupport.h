#pragma once

// A small effect on the VST binding and an editor stand-in for the binding's
// unit tests.

#include "framework/vst/IPlugVST.h"
#include "tests/support/ScriptedHost.h"

#include <string>
#include <vector>

// What the effect and the editor did, in order, as short texts.
using EventLog = std::vector<std::string>;

class FakeEditor : public IEditor
{
public:
    FakeEditor(EventLog& log, int width, int height) : mLog(log), mWidth(width), mHeight(height) {}

    void PushParamToControls(int paramIdx, double value, bool normalized) override
    {
        mLog.push_back("push " + std::to_string(paramIdx) + (normalized ? " n " : " p ") +
                       std::to_string(value));
    }
    void MarkAllControlsDirty() override {}
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    void* OpenEditorWindow(void* parent) override
    {
        mLog.push_back("open");
        return parent;
    }
    void CloseEditorWindow() override { mLog.push_back("close"); }

private:
    EventLog& mLog;

public:
    int mWidth;
    int mHeight;
};

struct TestEffectOptions
{
    const char* channels = "1-1 2-2";
    int programs = 3;
    bool midi = false;
    bool chunks = false;
    bool instrument = false;
};

// Four declared parameters and one appended after construction:
//   0 "Gain"  continuous 0..10 step 0.5, label "dB", default 5
//   1 "Bypass" switch, default off
//   2 "Mode"  enumeration of three named choices, default 1
//   3 "Time"  continuous 1..2000 step 1, label "ms", default 250
//   4 "Extra" continuous 0..1 (not declared)
// ProcessBlock writes half of each input to the matching output.
class TestEffect : public IPlugVST
{
public:
    static constexpr int kDeclared = 4;

    explicit TestEffect(audioMasterCallback host, TestEffectOptions o = {},
                        bool* destroyed = nullptr)
        : IPlugVST(host, kDeclared, o.channels, o.programs, "TestFx", "", "Testers", 0x00010203,
                   0x74737446, 0x74737456, 0, o.midi, o.chunks, o.instrument),
          mDestroyed(destroyed)
    {
        GetParam(0)->DefineContinuous("Gain", 5.0, 0.0, 10.0, 0.5, "dB");
        GetParam(1)->DefineSwitch("Bypass", false);
        GetParam(2)->DefineEnum("Mode", 1, 3);
        GetParam(2)->AddDisplayText(0, "soft");
        GetParam(2)->AddDisplayText(1, "medium");
        GetParam(2)->AddDisplayText(2, "hard");
        GetParam(3)->DefineContinuous("Time", 250.0, 1.0, 2000.0, 1.0, "ms");
        AddParam()->DefineContinuous("Extra", 0.25, 0.0, 1.0, 0.01);
    }
    ~TestEffect() override
    {
        if (mDestroyed) *mDestroyed = true;
    }

    void ResetEngine() override { log.push_back("reset"); }
    void ParamChanged(int idx) override { log.push_back("changed " + std::to_string(idx)); }
    void OnMainsChanged(bool active) override { log.push_back(active ? "mains on" : "mains off"); }
    void HandleMidiMessage(const MidiMessage& msg) override { midi.push_back(msg); }
    void ProcessBlock(double** inputs, double** outputs, int nFrames) override
    {
        for (int c = 0; c < NOutChannels(); ++c)
            for (int i = 0; i < nFrames; ++i)
                outputs[c][i] = c < NInChannels() ? 0.5 * inputs[c][i] : 0.0;
    }

    EventLog log;
    std::vector<MidiMessage> midi;

private:
    bool* mDestroyed;
};
