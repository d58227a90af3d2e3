#pragma once

#include "tests/support/NoHostPlug.h"

#include <string>
#include <vector>

// Minimal concrete plug-in. The parameter slots the host and the editor drive
// append to calls, in the order they come, "begin N", "automate N", "end N"
// and "changed N" (N the parameter index), so a test checks both which calls
// came and their order. Processing is counted with its block sizes.
class TestPlug : public NoHostPlug
{
public:
    explicit TestPlug(int nParams = 4, const char* io = "1-1 2-2", int nPrograms = 6)
        : NoHostPlug(nParams, io, nPrograms, "Effect", "Product", "Vendor", 0x00010203, 0x41424344,
                     0x45464748, 0, false, false, false)
    {
    }

    std::vector<std::string> calls;
    int processCalls = 0;
    std::vector<int> blockSizes;

    void BeginParameterEdit(int idx) override { Record("begin", idx); }
    void AutomateParameter(int idx, double) override { Record("automate", idx); }
    void EndParameterEdit(int idx) override { Record("end", idx); }
    void ParamChanged(int idx) override
    {
        IPlugBase::ParamChanged(idx);
        Record("changed", idx);
    }
    void ProcessBlock(double** in, double** out, int n) override
    {
        ++processCalls;
        blockSizes.push_back(n);
        IPlugBase::ProcessBlock(in, out, n);
    }

private:
    void Record(const char* what, int idx)
    {
        std::string call = what;
        call += ' ';
        call += std::to_string(idx);
        calls.push_back(call);
    }
};
