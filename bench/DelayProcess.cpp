// Block processing of the delay effect at 48000 Hz in blocks of 512 frames
// (and 64 for the eight taps): (a) the default setting (two taps), (b) all
// eight taps fed and on the mains, with LFOs of every shape, feedback and a
// chain between taps, through each lane kernel the processor runs. Reports
// nanoseconds per stereo frame and the real-time factor on one core; the
// baseline is a plain stereo ring-buffer delay with feedback over the same
// frames, to read the others as ratios.

#include "bench/FrameCounters.h"
#include "plugin/Delay.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace
{

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

void Set(Delay& d, int idx, double value)
{
    d.GetParam(idx)->SetValue(value);
    d.ParamChanged(idx);
}

void AllTaps(Delay& d)
{
    for (int t = 0; t < kNumTaps; ++t)
    {
        Set(d, kBaseIn + t, 1 + t % 5);
        Set(d, kBaseMains + t, 1);
        Set(d, kBaseShape + t, t % 5);
        Set(d, kBaseRate + t, 0.3 + 0.4 * t);
        Set(d, kBaseDepth + t, 1.0 + 0.5 * t);
        Set(d, kBaseTime + t, 40.0 + 190.0 * t);
        Set(d, kBaseFb + t, -1.0 - t);
        Set(d, kBasePan + t, t / 7.0);
    }
    // Two taps hear another one as well as their port.
    Set(d, kBaseRx + 5, 0);
    Set(d, kBaseRx + 6, 2);
}

void Signal(std::vector<double>& l, std::vector<double>& r, int block)
{
    l.resize(block);
    r.resize(block);
    for (int i = 0; i < block; ++i)
    {
        l[i] = 0.3 * std::sin(0.05 * i);
        r[i] = 0.3 * std::sin(0.031 * i + 1.0);
    }
}

// state.range(0): the kernel (LaneKernel), range(1): eight taps or the
// defaults, range(2): the block size.
void BM_Delay(benchmark::State& state)
{
    const auto kernel = static_cast<LaneKernel>(state.range(0));
    const int block = static_cast<int>(state.range(2));
    Delay d(nullptr);
    d.SetSampleRate(kRate);
    d.ResetEngine();
    d.SetLaneKernel(kernel);
    if (d.ActiveLaneKernel() != kernel)
    {
        state.SkipWithError("the processor does not run this kernel");
        return;
    }
    if (state.range(1) != 0)
    {
        AllTaps(d);
    }
    std::vector<double> inL, inR, outL(block), outR(block);
    Signal(inL, inR, block);
    double* ins[2] = {inL.data(), inR.data()};
    double* outs[2] = {outL.data(), outR.data()};
    // Past the first two seconds: read distances have mostly glided in.
    for (int k = 0; k < 2 * 48000 / block; ++k)
    {
        d.ProcessBlock(ins, outs, block);
    }
    for (auto _ : state)
    {
        d.ProcessBlock(ins, outs, block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(Delay::LaneKernelName(kernel));
    CountFrames(state, block, kRate);
}

// Baseline: a stereo integer-delay ring buffer with feedback, 1 s long.
void BM_PlainRingDelay(benchmark::State& state)
{
    const int len = 48000;
    std::vector<double> ringL(len), ringR(len), inL, inR, outL(kBlock), outR(kBlock);
    Signal(inL, inR, kBlock);
    int w = 0;
    for (auto _ : state)
    {
        for (int n = 0; n < kBlock; ++n)
        {
            const double yl = ringL[w];
            const double yr = ringR[w];
            ringL[w] = inL[n] + 0.5 * yl;
            ringR[w] = inR[n] + 0.5 * yr;
            outL[n] = inL[n] * 0.7 + yl * 0.7;
            outR[n] = inR[n] * 0.7 + yr * 0.7;
            if (++w == len) w = 0;
        }
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    CountFrames(state, kBlock, kRate);
}

} // namespace

BENCHMARK(BM_PlainRingDelay);
BENCHMARK(BM_Delay)
    ->ArgNames({"kernel", "eight", "block"})
    ->Args({1, 0, kBlock})
    ->Args({2, 0, kBlock})
    ->Args({0, 1, kBlock})
    ->Args({1, 1, kBlock})
    ->Args({2, 1, kBlock})
    ->Args({3, 1, kBlock})
    ->Args({1, 1, 64})
    ->Args({2, 1, 64})
    ->Args({3, 1, 64});
