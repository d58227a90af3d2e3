// The built module as a host sees it: loaded at run time, created through
// VSTPluginMain, prepared through the dispatcher for 48000 Hz and driven
// through processReplacing (32-bit float) or processDoubleReplacing (64-bit
// double), with a host that tells the tempo (120 BPM, 4/4, playing). Settings
// are chosen by parameter name and display text only; nothing of the
// effect's code is linked. Cases: the effect as loaded, and all eight taps
// fed from an input port, on the mains, with feedback and no tap hearing
// another, in blocks of 512 and 64 frames. Reports nanoseconds per stereo
// frame and the real-time factor on one core; the baseline is a plain stereo
// ring-buffer delay with feedback over the same frames, sample type and
// block size, to read the others as ratios.
//
// ZELBOR_MODULE names the module to load; without it, the module of the same
// build tree. ZELBOR_OTHER_MODULE names another VST 2 effect to run in the
// same run for comparison (case Other, float only), with the parameters in
// ZELBOR_OTHER_PARAMS ("index=value,...", values on the host's 0..1 travel);
// ZELBOR_OTHER_LIST=1 prints its parameters' indices, names and texts. When
// the other module is another build of this effect, case OtherEightTaps sets
// it as EightTaps, to compare two builds in one run.

#include "bench/FrameCounters.h"
#include "framework/vst/VstAbi.h"
#include "platform/DynamicLibrary.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#ifndef ZELBOR_MODULE_FILE
#error "ZELBOR_MODULE_FILE names the module to load"
#endif

namespace
{

constexpr double kRate = 48000.0;
constexpr VstInt32 kAudioMasterVersion = 1;
constexpr VstIntPtr kProcessPrecision32 = 0;
constexpr VstIntPtr kProcessPrecision64 = 1;
// Host text buffers, larger than any text the effect writes.
constexpr std::size_t kTextBytes = 256;

// The host side of one effect, reached through the record's user field.
struct Host
{
    VstTimeInfo time{};

    Host()
    {
        time.sampleRate = kRate;
        time.tempo = 120.0;
        time.timeSigNumerator = 4;
        time.timeSigDenominator = 4;
        time.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid | kVstTransportPlaying;
    }

    void Advance(int frames)
    {
        time.samplePos += frames;
        time.ppqPos = time.samplePos / kRate * time.tempo / 60.0;
    }

    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr,
                                          void*, float)
    {
        switch (opcode)
        {
        case kAudioMasterVersion:
            return 2400;
        case audioMasterGetTime:
            // Before the host has claimed the record there is no time to tell.
            if (!effect || !effect->user) return 0;
            return reinterpret_cast<VstIntPtr>(&static_cast<Host*>(effect->user)->time);
        default:
            return 0;
        }
    }
};

// The module (other: the comparison module), loaded once for the whole run.
const DynamicLibrary& Module(bool other, std::string& path)
{
    static DynamicLibrary libraries[2];
    static std::string opened[2];
    if (opened[other].empty())
    {
        const char* named = std::getenv(other ? "ZELBOR_OTHER_MODULE" : "ZELBOR_MODULE");
        opened[other] = named && named[0] ? named : other ? "" : ZELBOR_MODULE_FILE;
        if (!opened[other].empty()) libraries[other].Open(opened[other]);
    }
    path = opened[other];
    return libraries[other];
}

// One effect instance, closed as a host closes it.
class Effect
{
public:
    Effect(VstPluginMainProc entry, Host& host) : mEffect(entry(&Host::Callback))
    {
        if (mEffect) mEffect->user = &host;
    }

    ~Effect()
    {
        if (!mEffect) return;
        Call(effStopProcess);
        Call(effMainsChanged, 0, 0);
        Call(effClose);
    }

    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    AEffect* operator->() const { return mEffect; }
    explicit operator bool() const { return mEffect && mEffect->magic == kEffectMagic; }

    VstIntPtr Call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f)
    {
        return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
    }

    // Index of the parameter called name, or -1.
    int FindParam(const std::string& name)
    {
        for (VstInt32 i = 0; i < mEffect->numParams; ++i)
        {
            char text[kTextBytes] = {};
            Call(effGetParamName, i, 0, text);
            if (name == text) return i;
        }
        return -1;
    }

    // Sets the parameter to the first value of the host's 0..1 travel, in
    // steps of 1/1000, that the effect shows as text. An empty result when it
    // is set; otherwise what went wrong.
    std::string SetByText(const std::string& name, const char* text)
    {
        const int index = FindParam(name);
        if (index < 0) return "no parameter named " + name;
        for (int k = 0; k <= 1000; ++k)
        {
            mEffect->setParameter(mEffect, index, static_cast<float>(k) / 1000.0f);
            char shown[kTextBytes] = {};
            Call(effGetParamDisplay, index, 0, shown);
            if (std::strcmp(shown, text) == 0) return {};
        }
        return name + " shows no value as \"" + text + "\"";
    }

private:
    AEffect* mEffect;
};

enum class Setting
{
    Defaults,
    EightTaps,
    Other,
    // The comparison module, another build of this effect, set as EightTaps.
    OtherEightTaps
};

// The comparison module's parameters from ZELBOR_OTHER_PARAMS, and with
// ZELBOR_OTHER_LIST set, the list of them on the standard error.
void SetOtherParams(Effect& effect)
{
    const char* params = std::getenv("ZELBOR_OTHER_PARAMS");
    for (const char* at = params; at && *at;)
    {
        char* end = nullptr;
        const long index = std::strtol(at, &end, 10);
        if (*end != '=') break;
        const float value = std::strtof(end + 1, &end);
        effect->setParameter(effect.operator->(), static_cast<VstInt32>(index), value);
        at = *end == ',' ? end + 1 : end;
    }
    if (const char* list = std::getenv("ZELBOR_OTHER_LIST"); list && list[0] == '1')
    {
        for (VstInt32 i = 0; i < effect->numParams; ++i)
        {
            char name[kTextBytes] = {}, shown[kTextBytes] = {};
            effect.Call(effGetParamName, i, 0, name);
            effect.Call(effGetParamDisplay, i, 0, shown);
            std::fprintf(stderr, "%d %s = %s (%g)\n", i, name, shown,
                         effect->getParameter(effect.operator->(), i));
        }
    }
}

// Every tap fed from an input port (A, C, E and G the left, the others the
// right), on the mains, with -6 dB feedback and no tap hearing another.
// Times, filters and LFOs stay as loaded.
std::string SetEightTaps(Effect& effect)
{
    for (int t = 0; t < 8; ++t)
    {
        const std::string tap(1, static_cast<char>('A' + t));
        const std::pair<std::string, const char*> settings[] = {
            {"In_" + tap, t % 2 == 0 ? "L" : "R"},
            {"Mains_" + tap, "on"},
            {"Fb_" + tap, "-6.00"},
            {"Rx_" + tap, "-"},
        };
        for (const auto& [name, text] : settings)
        {
            std::string error = effect.SetByText(name, text);
            if (!error.empty()) return error;
        }
    }
    return {};
}

// A block of a sine on each channel, the channels a different pitch.
template <typename T> void Signal(std::vector<T>& left, std::vector<T>& right, int block)
{
    left.assign(static_cast<std::size_t>(block), T(0));
    right.assign(static_cast<std::size_t>(block), T(0));
    for (int i = 0; i < block; ++i)
    {
        left[static_cast<std::size_t>(i)] = static_cast<T>(0.3 * std::sin(0.05 * i));
        right[static_cast<std::size_t>(i)] = static_cast<T>(0.3 * std::sin(0.031 * i + 1.0));
    }
}

const char* TypeName(float)
{
    return "float";
}
const char* TypeName(double)
{
    return "double";
}

void Process(AEffect* effect, float** in, float** out, int frames)
{
    effect->processReplacing(effect, in, out, frames);
}

void Process(AEffect* effect, double** in, double** out, int frames)
{
    effect->processDoubleReplacing(effect, in, out, frames);
}

// Frames run before the timing: two seconds, past the glides of the start.
int WarmUpBlocks(int block)
{
    return 2 * static_cast<int>(kRate) / block;
}

template <typename T> void BM_Module(benchmark::State& state, Setting setting)
{
    const int block = static_cast<int>(state.range(0));
    std::string path;
    const bool other = setting == Setting::Other || setting == Setting::OtherEightTaps;
    const DynamicLibrary& module = Module(other, path);
    if (path.empty())
    {
        state.SkipWithError("no ZELBOR_OTHER_MODULE");
        return;
    }
    if (!module.IsOpen())
    {
        state.SkipWithError(("cannot load " + path + ": " + module.Error()).c_str());
        return;
    }
    const auto entry = reinterpret_cast<VstPluginMainProc>(module.Symbol("VSTPluginMain"));
    if (!entry)
    {
        state.SkipWithError((path + " exports no VSTPluginMain").c_str());
        return;
    }
    Host host;
    Effect effect(entry, host);
    if (!effect)
    {
        state.SkipWithError("VSTPluginMain gave no effect");
        return;
    }
    constexpr bool wide = std::is_same_v<T, double>;
    const bool supported =
        wide ? (effect->flags & effFlagsCanDoubleReplacing) && effect->processDoubleReplacing
             : (effect->flags & effFlagsCanReplacing) && effect->processReplacing;
    if (!supported || effect->numInputs < 2 || effect->numOutputs < 2)
    {
        state.SkipWithError("the effect has no stereo callback for this sample type");
        return;
    }

    effect.Call(effOpen);
    effect.Call(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    effect.Call(effSetBlockSize, 0, block);
    effect.Call(effSetProcessPrecision, 0, wide ? kProcessPrecision64 : kProcessPrecision32);
    if (setting == Setting::EightTaps || setting == Setting::OtherEightTaps)
    {
        const std::string error = SetEightTaps(effect);
        if (!error.empty())
        {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    if (setting == Setting::Other) SetOtherParams(effect);
    effect.Call(effMainsChanged, 0, 1);
    effect.Call(effStartProcess);

    std::vector<std::vector<T>> ins(static_cast<std::size_t>(effect->numInputs),
                                    std::vector<T>(static_cast<std::size_t>(block)));
    std::vector<std::vector<T>> outs(static_cast<std::size_t>(effect->numOutputs),
                                     std::vector<T>(static_cast<std::size_t>(block)));
    Signal(ins[0], ins[1], block);
    std::vector<T*> inPtrs, outPtrs;
    for (auto& channel : ins)
        inPtrs.push_back(channel.data());
    for (auto& channel : outs)
        outPtrs.push_back(channel.data());

    AEffect* const raw = effect.operator->();
    for (int k = 0; k < WarmUpBlocks(block); ++k)
    {
        Process(raw, inPtrs.data(), outPtrs.data(), block);
        host.Advance(block);
    }
    for (auto _ : state)
    {
        Process(raw, inPtrs.data(), outPtrs.data(), block);
        host.Advance(block);
        benchmark::DoNotOptimize(outPtrs[0]);
        benchmark::ClobberMemory();
    }
    static const char* const kLabels[] = {"Defaults ", "EightTaps ", "Other ", "Other EightTaps "};
    state.SetLabel(kLabels[static_cast<int>(setting)] + std::string(TypeName(T())));
    CountFrames(state, block, kRate);
}

// Baseline: a stereo integer-delay ring buffer with feedback, 1 s long, fed
// and read through channel pointers as the effect is.
template <typename T> void BM_PlainRingDelay(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const int len = static_cast<int>(kRate);
    std::vector<T> ringL(static_cast<std::size_t>(len)), ringR(static_cast<std::size_t>(len));
    std::vector<T> inL, inR, outL(static_cast<std::size_t>(block)),
        outR(static_cast<std::size_t>(block));
    Signal(inL, inR, block);
    T* ins[2] = {inL.data(), inR.data()};
    T* outs[2] = {outL.data(), outR.data()};
    int w = 0;
    const auto run = [&](T** in, T** out)
    {
        for (int n = 0; n < block; ++n)
        {
            const T yl = ringL[static_cast<std::size_t>(w)];
            const T yr = ringR[static_cast<std::size_t>(w)];
            ringL[static_cast<std::size_t>(w)] = in[0][n] + T(0.5) * yl;
            ringR[static_cast<std::size_t>(w)] = in[1][n] + T(0.5) * yr;
            out[0][n] = in[0][n] * T(0.7) + yl * T(0.7);
            out[1][n] = in[1][n] * T(0.7) + yr * T(0.7);
            if (++w == len) w = 0;
        }
    };
    for (int k = 0; k < WarmUpBlocks(block); ++k)
        run(ins, outs);
    for (auto _ : state)
    {
        run(ins, outs);
        benchmark::DoNotOptimize(outs[0]);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string("ring ") + TypeName(T()));
    CountFrames(state, block, kRate);
}

void BM_Module_Float(benchmark::State& state, Setting setting)
{
    BM_Module<float>(state, setting);
}

void BM_Module_Double(benchmark::State& state, Setting setting)
{
    BM_Module<double>(state, setting);
}

} // namespace

BENCHMARK_TEMPLATE(BM_PlainRingDelay, float)->ArgName("block")->Arg(512)->Arg(64);
BENCHMARK_TEMPLATE(BM_PlainRingDelay, double)->ArgName("block")->Arg(512)->Arg(64);
BENCHMARK_CAPTURE(BM_Module_Float, Defaults, Setting::Defaults)
    ->ArgName("block")
    ->Arg(512)
    ->Arg(64);
BENCHMARK_CAPTURE(BM_Module_Float, EightTaps, Setting::EightTaps)
    ->ArgName("block")
    ->Arg(512)
    ->Arg(64);
BENCHMARK_CAPTURE(BM_Module_Float, Other, Setting::Other)->ArgName("block")->Arg(512)->Arg(64);
BENCHMARK_CAPTURE(BM_Module_Float, OtherEightTaps, Setting::OtherEightTaps)
    ->ArgName("block")
    ->Arg(512)
    ->Arg(64);
BENCHMARK_CAPTURE(BM_Module_Double, Defaults, Setting::Defaults)
    ->ArgName("block")
    ->Arg(512)
    ->Arg(64);
BENCHMARK_CAPTURE(BM_Module_Double, EightTaps, Setting::EightTaps)
    ->ArgName("block")
    ->Arg(512)
    ->Arg(64);
