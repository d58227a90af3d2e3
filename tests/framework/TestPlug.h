#pragma once

#include "framework/IPlugBase.h"

#include <string>
#include <vector>

// Minimal concrete plug-in: the host-facing slots record what they were asked.
class TestPlug : public IPlugBase
{
public:
    explicit TestPlug(int nParams = 4, const char* io = "1-1 2-2", int nPrograms = 6)
        : IPlugBase(nParams, io, nPrograms, "Effect", "Product", "Vendor", 0x00010203, 0x41424344,
                    0x45464748, 0, false, false, false)
    {
    }

    std::vector<std::string> calls; // "automate 2", "changed 2", ...
    int processCalls = 0;
    std::vector<int> blockSizes;

    void ParamChanged(int idx) override
    {
        IPlugBase::ParamChanged(idx);
        calls.push_back("changed " + std::to_string(idx));
    }
    void ProcessBlock(double** in, double** out, int n) override
    {
        ++processCalls;
        blockSizes.push_back(n);
        IPlugBase::ProcessBlock(in, out, n);
    }

    void BeginParameterEdit(int) override {}
    void AutomateParameter(int idx, double) override
    {
        calls.push_back("automate " + std::to_string(idx));
    }
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
