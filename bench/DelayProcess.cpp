// Block processing of the delay effect at 48000 Hz in blocks of 512 frames:
// (a) the default setting (two taps), (b) all eight taps fed and on the
// mains, with LFOs of every shape, feedback and a chain between taps.
// Reports nanoseconds per stereo frame and the real-time factor on one core.

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

void RunDelay(benchmark::State& state, bool allTaps)
{
    Delay d(nullptr);
    d.SetSampleRate(kRate);
    d.ResetEngine();
    if (allTaps)
    {
        AllTaps(d);
    }
    std::vector<double> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    for (int i = 0; i < kBlock; ++i)
    {
        inL[i] = 0.3 * std::sin(0.05 * i);
        inR[i] = 0.3 * std::sin(0.031 * i + 1.0);
    }
    double* ins[2] = {inL.data(), inR.data()};
    double* outs[2] = {outL.data(), outR.data()};
    // Past the first second: read distances have mostly glided in.
    for (int k = 0; k < 200; ++k)
    {
        d.ProcessBlock(ins, outs, kBlock);
    }
    for (auto _ : state)
    {
        d.ProcessBlock(ins, outs, kBlock);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    // Both from the CPU time: nanoseconds per stereo frame (shown with the
    // unit "s" that inverted rates carry), and seconds of audio per second,
    // that is 1e9 / (48000 x ns per frame).
    state.counters["ns_per_frame"] = benchmark::Counter(
        frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["rt_factor"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

void BM_DelayDefaults(benchmark::State& state)
{
    RunDelay(state, false);
}

void BM_DelayEightTaps(benchmark::State& state)
{
    RunDelay(state, true);
}

} // namespace

BENCHMARK(BM_DelayDefaults);
BENCHMARK(BM_DelayEightTaps);
