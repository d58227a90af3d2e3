#include "tools/render/EffectHost.h"

#include "framework/IPlugBase.h"
#include "framework/vst/IPlugVST.h"
#include "tools/render/TextNumbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The module's exported entry, linked into the tool.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

namespace zelbor::render
{
namespace
{

// Calls made while VSTPluginMain is still building the instance arrive
// before the record's user field can name the host.
thread_local EffectHost* tCreating = nullptr;

constexpr std::size_t kTextBytes = 256; // far more than any text the effect writes

} // namespace

EffectHost::EffectHost()
{
    mTime.sampleRate = mSampleRate;
    mTime.tempo = 120.0;
    mTime.timeSigNumerator = 4;
    mTime.timeSigDenominator = 4;
    mTime.smpteFrameRate = 1; // 25 frames per second
}

std::unique_ptr<EffectHost> EffectHost::Create(std::string& error)
{
    std::unique_ptr<EffectHost> host(new EffectHost());
    tCreating = host.get();
    AEffect* effect = VSTPluginMain(&EffectHost::HostCallback);
    tCreating = nullptr;
    if (!effect)
    {
        error = "the effect could not be created (VSTPluginMain gave no instance)";
        return nullptr;
    }
    if (effect->magic != kEffectMagic || !effect->dispatcher || !effect->processReplacing ||
        !effect->setParameter || !effect->getParameter || !effect->object)
    {
        error = "the effect's record is incomplete";
        return nullptr;
    }
    if (effect->numInputs != 2 || effect->numOutputs != 2)
    {
        error = "the effect does not have two inputs and two outputs";
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        return nullptr;
    }
    effect->user = host.get();
    host->mEffect = effect;
    host->Dispatch(effOpen);
    const int n = host->ParamCount();
    host->mDefaults.resize(std::size_t(n));
    for (int i = 0; i < n; ++i)
    {
        host->mDefaults[std::size_t(i)] = host->PlainValue(i);
    }
    return host;
}

EffectHost::~EffectHost()
{
    if (mEffect)
    {
        Suspend();
        Dispatch(effClose);
        mEffect = nullptr;
    }
}

IPlugVST& EffectHost::PluginVST() const
{
    return *IPlugVST::FromEffect(mEffect);
}

IPlugBase& EffectHost::Plugin() const
{
    return PluginVST();
}

VstIntPtr EffectHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) const
{
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

VstIntPtr VSTCALLBACK EffectHost::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt)
{
    EffectHost* host = effect && effect->user ? static_cast<EffectHost*>(effect->user) : tCreating;
    if (!host)
    {
        return 0;
    }
    return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr EffectHost::Answer(VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode)
    {
    case audioMasterAutomate:
        ++mCalls.automations;
        return 0;
    case 1: // audioMasterVersion
        return kVstVersion;
    case audioMasterGetTime:
        ++mCalls.timeRequests;
        UpdateMusicalPosition();
        return reinterpret_cast<VstIntPtr>(&mTime);
    case audioMasterGetProductString:
        ++mCalls.productRequests;
        if (ptr)
        {
            std::strcpy(static_cast<char*>(ptr), kProductString);
            return 1;
        }
        return 0;
    case audioMasterGetVendorVersion:
        return kVendorVersion;
    default:
        return 0;
    }
}

void EffectHost::Prepare(double sampleRate, int maxBlock)
{
    mSampleRate = sampleRate;
    mMaxBlock = std::max(1, maxBlock);
    mTime.sampleRate = sampleRate;
    for (int c = 0; c < 2; ++c)
    {
        mIn32[c].assign(std::size_t(mMaxBlock), 0.0f);
        mIn64[c].assign(std::size_t(mMaxBlock), 0.0);
    }
    Dispatch(effSetSampleRate, 0, 0, nullptr, float(sampleRate));
    Dispatch(effSetBlockSize, 0, mMaxBlock);
}

void EffectHost::Resume()
{
    if (!mResumed)
    {
        Dispatch(effMainsChanged, 0, 1);
        Dispatch(effStartProcess);
        mResumed = true;
    }
}

void EffectHost::Suspend()
{
    if (mResumed)
    {
        Dispatch(effStopProcess);
        Dispatch(effMainsChanged, 0, 0);
        mResumed = false;
    }
}

void EffectHost::SetTempo(double bpm, int numerator, int denominator)
{
    mTime.tempo = bpm;
    mTime.timeSigNumerator = numerator;
    mTime.timeSigDenominator = denominator;
}

void EffectHost::SetPlaying(bool playing)
{
    if (playing != mPlaying)
    {
        mTransportChanged = true;
    }
    mPlaying = playing;
}

void EffectHost::SetSamplePosition(double position)
{
    mTime.samplePos = position;
    mTransportChanged = true;
}

void EffectHost::UpdateMusicalPosition()
{
    const double quartersPerSample = mTime.tempo / 60.0 / mSampleRate;
    mTime.ppqPos = mTime.samplePos * quartersPerSample;
    const double barQuarters =
        4.0 * double(mTime.timeSigNumerator) / double(std::max(1, mTime.timeSigDenominator));
    mTime.barStartPos = std::floor(mTime.ppqPos / barQuarters + 1e-9) * barQuarters;
    mTime.nanoSeconds = mTime.samplePos / mSampleRate * 1e9;
    mTime.flags =
        kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (mPlaying)
    {
        mTime.flags |= kVstTransportPlaying;
    }
    if (mTransportChanged)
    {
        mTime.flags |= kVstTransportChanged;
    }
}

void EffectHost::Advance(int frames)
{
    mTransportChanged = false;
    if (mPlaying)
    {
        mTime.samplePos += frames;
    }
}

int EffectHost::ParamCount() const
{
    return mEffect->numParams;
}

std::string EffectHost::ParamName(int index) const
{
    char text[kTextBytes] = {};
    Dispatch(effGetParamName, index, 0, text);
    return text;
}

std::string EffectHost::ParamDisplay(int index) const
{
    char text[kTextBytes] = {};
    Dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

int EffectHost::FindParam(const std::string& name) const
{
    if (name.empty())
    {
        return -1;
    }
    for (int i = 0; i < ParamCount(); ++i)
    {
        if (ParamName(i) == name)
        {
            return i;
        }
    }
    return -1;
}

std::vector<std::string> EffectHost::SimilarNames(const std::string& name) const
{
    std::vector<std::string> out;
    const std::string lowered = LowerCase(name);
    for (int i = 0; i < ParamCount() && out.size() < 8; ++i)
    {
        const std::string n = ParamName(i);
        if (n.empty())
        {
            continue;
        }
        const std::string ln = LowerCase(n);
        if (ln == lowered || (lowered.size() >= 2 && ln.rfind(lowered, 0) == 0))
        {
            out.push_back(n);
        }
    }
    return out;
}

ParamDescription EffectHost::Describe(int index) const
{
    ParamDescription d;
    const IPlugParam* p = Plugin().GetParam(index);
    if (!p)
    {
        return d;
    }
    d.index = index;
    d.name = ParamName(index);
    d.isChoice = p->Kind() == KindEnum || p->Kind() == KindSwitch || p->Kind() == KindInteger;
    d.minimum = p->Min();
    d.maximum = p->Max();
    for (int i = 0; i < p->DisplayTextCount(); ++i)
    {
        if (const DisplayText* t = p->GetDisplayText(i))
        {
            d.choices.emplace_back(t->value, t->text);
        }
    }
    if (d.isChoice && d.choices.empty())
    {
        for (int v = int(std::lround(d.minimum)); v <= int(std::lround(d.maximum)); ++v)
        {
            d.choices.emplace_back(v, std::to_string(v));
        }
    }
    return d;
}

double EffectHost::PlainValue(int index) const
{
    const IPlugParam* p = Plugin().GetParam(index);
    return p ? p->Value() : 0.0;
}

double EffectHost::DefaultValue(int index) const
{
    return index >= 0 && std::size_t(index) < mDefaults.size() ? mDefaults[std::size_t(index)]
                                                               : 0.0;
}

double EffectHost::SetPlainValue(int index, double plain)
{
    const IPlugParam* p = Plugin().GetParam(index);
    if (!p || index >= ParamCount())
    {
        return 0.0;
    }
    const float normalized = float(p->ToNormalized(plain));
    mEffect->setParameter(mEffect, index, normalized);
    return p->Value();
}

double EffectHost::ValueByName(const std::string& name) const
{
    const int i = FindParam(name);
    return i >= 0 ? PlainValue(i) : 0.0;
}

namespace
{

// Copies the caller's input into the host's own buffers (a host never hands
// out its source audio for the effect to write into) and runs one block
// through the record's callback for that sample type.
template <typename Sample, typename Callback>
void RunBlock(AEffect* effect, Callback callback, std::vector<Sample>* scratch,
              const Sample* const* inputs, Sample* const* outputs, int frames)
{
    Sample* in[2] = {scratch[0].data(), scratch[1].data()};
    Sample* out[2] = {outputs[0], outputs[1]};
    for (int c = 0; c < 2; ++c)
    {
        std::copy(inputs[c], inputs[c] + frames, in[c]);
        if (!callback)
        {
            std::fill(out[c], out[c] + frames, Sample(0)); // no callback for this sample type
        }
    }
    if (callback)
    {
        callback(effect, in, out, frames);
    }
}

} // namespace

void EffectHost::Process(const float* const* inputs, float* const* outputs, int frames)
{
    frames = std::clamp(frames, 0, mMaxBlock);
    RunBlock(mEffect, mEffect->processReplacing, mIn32, inputs, outputs, frames);
    Advance(frames);
}

void EffectHost::Process(const double* const* inputs, double* const* outputs, int frames)
{
    frames = std::clamp(frames, 0, mMaxBlock);
    RunBlock(mEffect, mEffect->processDoubleReplacing, mIn64, inputs, outputs, frames);
    Advance(frames);
}

} // namespace zelbor::render
