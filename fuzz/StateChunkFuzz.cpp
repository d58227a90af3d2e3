// A state chunk as a host might hand it over (effSetChunk) to a live
// instance, then a short block through a process callback: the chunk reader
// with any bytes, the engine with any settings a chunk can give. The output
// must stay finite and free of denormal numbers.

#include "framework/vst/EffectEntry.h"
#include "framework/vst/PluginFactory.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

namespace
{

constexpr int kFrames = 64;

// A host that answers nothing: no transport, no time info.
VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// One instance for the whole run, opened and switched on as a host does.
AEffect* Instance()
{
    static AEffect* effect = []
    {
        AEffect* e = CreateEffectInstance(&Host, &CreatePluginInstance);
        if (e == nullptr) __builtin_trap();
        Dispatch(e, effOpen);
        Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        Dispatch(e, effSetBlockSize, 0, kFrames);
        Dispatch(e, effMainsChanged, 0, 1);
        return e;
    }();
    return effect;
}

template <typename Sample> void Check(const Sample* x)
{
    for (int i = 0; i < kFrames; ++i)
    {
        const double v = static_cast<double>(x[i]);
        if (!std::isfinite(v) || (v != 0.0 && std::fabs(v) < FLT_MIN)) __builtin_trap();
    }
}

template <typename Sample, typename Process> void RunBlock(AEffect* e, Process process)
{
    // A click and a steady level on the left, silence on the right.
    Sample left[kFrames] = {};
    Sample right[kFrames] = {};
    left[0] = Sample(1);
    for (int i = 1; i < kFrames; ++i)
        left[i] = Sample(0.25);
    Sample outLeft[kFrames];
    Sample outRight[kFrames];
    Sample* ins[2] = {left, right};
    Sample* outs[2] = {outLeft, outRight};
    process(e, ins, outs, kFrames);
    Check(outLeft);
    Check(outRight);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    AEffect* e = Instance();
    // The first byte chooses: program or bank chunk, a switch off and on
    // before the block, the 32-bit or the 64-bit callback. The rest is the
    // chunk, in a buffer of exactly its size so that any overread shows.
    const uint8_t how = data[0];
    std::vector<uint8_t> chunk(data + 1, data + size);
    Dispatch(e, effSetChunk, how & 1, static_cast<VstIntPtr>(chunk.size()), chunk.data());
    if ((how & 0x0E) == 0x0E)
    {
        Dispatch(e, effMainsChanged, 0, 0);
        Dispatch(e, effMainsChanged, 0, 1);
    }
    if (how & 0x10)
        RunBlock<double>(e, e->processDoubleReplacing);
    else
        RunBlock<float>(e, e->processReplacing);
    return 0;
}
