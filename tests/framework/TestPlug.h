#pragma once

#include "tests/framework/NoHostPlug.h"

#include <string>
#include <vector>

// Minimal concrete plug-in: the host-facing slots record what they were asked.
class TestPlug : public NoHostPlug
{
public:
    explicit TestPlug(int nParams = 4, const char* io = "1-1 2-2", int nPrograms = 6)
        : NoHostPlug(nParams, io, nPrograms, "Effect", "Product", "Vendor", 0x00010203, 0x41424344,
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

    void AutomateParameter(int idx, double) override
    {
        calls.push_back("automate " + std::to_string(idx));
    }
};
