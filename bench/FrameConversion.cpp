// Cost of the 32-bit host path of the audio frame: float input converted to
// double scratch, the base pass-through ProcessBlock, double narrowed back to
// float. A plain memcpy of the same stereo block runs as the baseline.

#include "tests/support/NoHostPlug.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace
{
class PassThroughPlug : public NoHostPlug
{
public:
    PassThroughPlug()
        : NoHostPlug(0, "1-1 2-2", 1, "Bench", "", "", 0x10000, 0, 0, 0, false, false, false)
    {
        ConnectInputs(0, 2, true);
        ConnectOutputs(0, 2, true);
        SetBlockLength(1024);
    }
};

struct StereoBlock
{
    std::vector<float> inL, inR, outL, outR;
    float* in[2];
    float* out[2];
    explicit StereoBlock(int frames)
        : inL(static_cast<size_t>(frames)), inR(static_cast<size_t>(frames)),
          outL(static_cast<size_t>(frames)), outR(static_cast<size_t>(frames))
    {
        for (int i = 0; i < frames; ++i)
        {
            inL[static_cast<size_t>(i)] = static_cast<float>(i % 97) * 0.01f;
            inR[static_cast<size_t>(i)] = -static_cast<float>(i % 89) * 0.01f;
        }
        in[0] = inL.data();
        in[1] = inR.data();
        out[0] = outL.data();
        out[1] = outR.data();
    }
};

// One stereo block of state.range(0) frames per iteration through run.
void RunHostBlocks(benchmark::State& state, void (IPlugBase::*run)(float**, float**, int))
{
    const int frames = static_cast<int>(state.range(0));
    PassThroughPlug plug;
    StereoBlock block(frames);
    for (auto _ : state)
    {
        (plug.*run)(block.in, block.out, frames);
        benchmark::DoNotOptimize(block.outL.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames * 2);
}

void BM_RunBlock32(benchmark::State& state)
{
    RunHostBlocks(state, &IPlugBase::RunBlock);
}

void BM_RunBlockAccumulating32(benchmark::State& state)
{
    RunHostBlocks(state, &IPlugBase::RunBlockAccumulating);
}

void BM_MemcpyBaseline(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    StereoBlock block(frames);
    const size_t bytes = static_cast<size_t>(frames) * sizeof(float);
    for (auto _ : state)
    {
        std::memcpy(block.out[0], block.in[0], bytes);
        std::memcpy(block.out[1], block.in[1], bytes);
        benchmark::DoNotOptimize(block.outL.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames * 2);
}
} // namespace

// 4096 frames exceeds the block length of 1024 and runs as four sub-blocks.
BENCHMARK(BM_MemcpyBaseline)->Arg(128)->Arg(1024)->Arg(4096);
BENCHMARK(BM_RunBlock32)->Arg(128)->Arg(1024)->Arg(4096);
BENCHMARK(BM_RunBlockAccumulating32)->Arg(128)->Arg(1024)->Arg(4096);
