#pragma once

#include "framework/IPlugBase.h"

// A plug-in with no host behind it: every host-facing slot does nothing and
// reports an empty transport. Tests and benchmarks derive their effects from it.
class NoHostPlug : public IPlugBase
{
public:
    using IPlugBase::IPlugBase;

    void BeginParameterEdit(int) override {}
    void AutomateParameter(int, double) override {}
    void EndParameterEdit(int) override {}
    int HostSamplePosition() override { return 0; }
    double HostTempo() override { return 0.0; }
    void HostTimeSignature(int& num, int& den) override { num = den = 0; }
    void HostTransport(double&, double&, double&, double&, int&, int&, double&, double&, bool&,
                       bool&) override
    {
    }
    void OnEditorResized(int, int) override {}
    void PrepareForHost() override {}
    bool SendMidiMessage(const MidiMessage&) override { return true; }
    bool SendMidiMessages(const MidiMessage*, int) override { return true; }
};
