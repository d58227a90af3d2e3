// Cost of the delay engine's per-sample path against a plain ring-buffer delay.
#include "dsp/DelayTap.h"

#include "dsp/DelayLine.h"
#include "dsp/TempoInfo.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace
{
constexpr int kFrames = 512;

std::vector<double> TestSignal()
{
    std::vector<double> in(kFrames);
    for (int i = 0; i < kFrames; ++i)
        in[static_cast<size_t>(i)] = std::sin(i * 0.031) * 0.5;
    return in;
}

// Baseline: one integer-delay ring buffer with feedback, index arithmetic only.
void BM_PlainRingDelay(benchmark::State& state)
{
    const int len = 90112;
    std::vector<double> buf(static_cast<size_t>(len), 0.0);
    const auto in = TestSignal();
    int w = 0, r = len - 13230;
    double y = 0.0;
    for (auto _ : state)
    {
        for (int n = 0; n < kFrames; ++n)
        {
            y = buf[static_cast<size_t>(r)];
            buf[static_cast<size_t>(w)] = in[static_cast<size_t>(n)] + 0.5 * y;
            if (++w == len) w = 0;
            if (++r == len) r = 0;
        }
        benchmark::DoNotOptimize(y);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_PlainRingDelay);

struct Engine
{
    TempoInfo tempo;
    DelayLine lines[8];
    DelayTap taps[8];
    double feedback[8] = {};
    int countdown = 32;

    Engine()
    {
        for (int i = 0; i < 8; ++i)
        {
            PairLineAndTap(lines[i], taps[i], i, tempo);
            lines[i].SetSampleRate(44100.0);
            taps[i].SetSampleRate(44100.0);
            lines[i].timeMs = 150.0 + 97.0 * i;
            lines[i].ApplyLineTime();
            taps[i].SetLfoShape(i % 5);
            taps[i].SetLfoRate(0.5f + 0.3f * static_cast<float>(i));
            taps[i].lfoDepth = 2.5;
            taps[i].heads.smoother.z = taps[i].heads.target;
        }
    }
};

// The effect's inner loop for `count` lines: control step every 32 samples,
// write with feedback, read the tap, optionally filter.
template <bool Filtered> void RunEngine(benchmark::State& state, int count)
{
    Engine e;
    const auto in = TestSignal();
    double out = 0.0;
    for (auto _ : state)
    {
        for (int n = 0; n < kFrames; ++n)
        {
            if (--e.countdown <= 0)
            {
                e.countdown = 32;
                for (int i = 0; i < count; ++i)
                    e.taps[i].ControlStep(1.0, 44.1);
            }
            const double x = in[static_cast<size_t>(n)] + 1e-20;
            double sum = 0.0;
            for (int i = 0; i < count; ++i)
            {
                e.lines[i].Write(x, e.feedback[i]);
                double y = e.taps[i].Read();
                if constexpr (Filtered) y = e.taps[i].Filter(y) * e.taps[i].gain;
                e.feedback[i] = 0.5 * y;
                sum += y;
            }
            out = sum;
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

// The control step alone for all eight taps (LFO, smoother, head placement),
// as the effect runs it every 32 samples; the write index moves between
// steps so that every placement lands somewhere new.
void BM_ControlStepEightTaps(benchmark::State& state)
{
    Engine e;
    for (auto _ : state)
    {
        for (int i = 0; i < 8; ++i)
        {
            DelayLine& l = e.lines[i];
            l.writeIndex += 32;
            if (l.writeIndex >= l.Length()) l.writeIndex -= l.Length();
            e.taps[i].ControlStep(1.0, 44.1);
        }
        benchmark::DoNotOptimize(e.taps[7].heads.current->allpass.coefficient);
    }
    state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(BM_ControlStepEightTaps);

void BM_OneLineTap(benchmark::State& state)
{
    RunEngine<false>(state, 1);
}
BENCHMARK(BM_OneLineTap);

void BM_OneLineTapFiltered(benchmark::State& state)
{
    RunEngine<true>(state, 1);
}
BENCHMARK(BM_OneLineTapFiltered);

void BM_EightLineTaps(benchmark::State& state)
{
    RunEngine<false>(state, 8);
}
BENCHMARK(BM_EightLineTaps);

void BM_EightLineTapsFiltered(benchmark::State& state)
{
    RunEngine<true>(state, 8);
}
BENCHMARK(BM_EightLineTapsFiltered);
} // namespace
