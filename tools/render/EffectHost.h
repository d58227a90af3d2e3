#pragma once

#include "framework/vst/VstAbi.h"
#include "tools/render/ParamText.h"

#include <memory>
#include <string>
#include <vector>

class IPlugBase;
class IPlugVST;

namespace zelbor::render
{

// Hosts the statically linked effect the way a DAW does: the instance comes
// from the module's VSTPluginMain, everything else goes through the record's
// dispatcher, parameter and process callbacks. The host side answers the
// effect's audioMaster calls: product "zelbor-render", and a time record with
// tempo, time signature, musical and sample position and the playing flag.
class EffectHost
{
public:
    static constexpr const char* kProductString = "zelbor-render";
    static constexpr VstIntPtr kVendorVersion = 10000; // 1.0.0

    // Creates and opens an instance; null (with a message) when the entry
    // gives none.
    static std::unique_ptr<EffectHost> Create(std::string& error);
    ~EffectHost(); // stops processing and closes the instance

    EffectHost(const EffectHost&) = delete;
    EffectHost& operator=(const EffectHost&) = delete;

    AEffect* Effect() const { return mEffect; }
    // The plug-in behind the record, for what a host cannot ask through the
    // dispatcher (parameter kinds, ranges, shapes and plain values).
    IPlugBase& Plugin() const;
    IPlugVST& PluginVST() const;

    // Host set-up before processing: rate and largest block.
    void Prepare(double sampleRate, int maxBlock);
    // effMainsChanged on and effStartProcess; Suspend undoes it.
    void Resume();
    void Suspend();

    double SampleRate() const { return mSampleRate; }
    int MaxBlock() const { return mMaxBlock; }

    // --- Transport ----------------------------------------------------------

    void SetTempo(double bpm, int numerator, int denominator);
    // A stopped transport keeps its position; a playing one advances by each
    // processed block.
    void SetPlaying(bool playing);
    void SetSamplePosition(double position);
    double SamplePosition() const { return mTime.samplePos; }
    double Tempo() const { return mTime.tempo; }

    // --- Parameters -----------------------------------------------------------

    // Host-visible parameters (the record's numParams).
    int ParamCount() const;
    // The name the dispatcher reports (effGetParamName).
    std::string ParamName(int index) const;
    // The effect's display text for its current value (effGetParamDisplay).
    std::string ParamDisplay(int index) const;
    // Index of the host-visible parameter with that exact name, or -1.
    int FindParam(const std::string& name) const;
    // Names that differ from name only in case, or that start with it.
    std::vector<std::string> SimilarNames(const std::string& name) const;
    ParamDescription Describe(int index) const;
    double PlainValue(int index) const;
    double DefaultValue(int index) const;
    // Sets a plain value the host way: converted to the normalised scale
    // and handed to the record's setParameter. Returns the plain value the
    // effect then holds.
    double SetPlainValue(int index, double plain);
    // The plain value of a parameter by name; 0 when there is none.
    double ValueByName(const std::string& name) const;

    // --- Processing -----------------------------------------------------------

    // One host block of at most MaxBlock() frames through processReplacing
    // (or processDoubleReplacing). inputs and outputs hold two channels.
    void Process(const float* const* inputs, float* const* outputs, int frames);
    void Process(const double* const* inputs, double* const* outputs, int frames);

    // What the effect asked of the host so far.
    struct Counters
    {
        long long timeRequests = 0;
        long long automations = 0;
        long long productRequests = 0;
    };
    const Counters& Calls() const { return mCalls; }

private:
    EffectHost();

    static VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);
    VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) const;
    void UpdateMusicalPosition();
    void Advance(int frames);

    AEffect* mEffect = nullptr;
    VstTimeInfo mTime{};
    bool mPlaying = false;
    bool mTransportChanged = false;
    bool mResumed = false;
    double mSampleRate = 44100.0;
    int mMaxBlock = 512;
    std::vector<float> mIn32[2];
    std::vector<double> mIn64[2];
    std::vector<double> mDefaults;
    Counters mCalls;
};

} // namespace zelbor::render
