#pragma once

#include <benchmark/benchmark.h>

// The counters every audio benchmark reports, both from the CPU time:
// nanoseconds per stereo frame (shown with the unit "s" that inverted rates
// carry), and seconds of audio per second, that is 1e9 / (rate x ns per
// frame).
inline void CountFrames(benchmark::State& state, int block, double rate)
{
    const double frames = static_cast<double>(state.iterations()) * block;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.counters["ns_per_frame"] = benchmark::Counter(
        frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["rt_factor"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}
