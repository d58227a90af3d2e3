#include "dsp/LfoRandom.h"

#include <cstdint>
#include <ctime>

LfoRandom::LfoRandom() : Lfo(KindRandom), smoothing(Biquad::LowPass, 1.0, 1.0, 44100.0 / 32.0, 1.0)
{
    const auto identity = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this));
    Seed(identity * static_cast<uint32_t>(std::clock()));
    skew = 1.0f;
    LfoRandom::ShapeChanged();
}

void LfoRandom::RateChanged()
{
    // One filter step per advance of 32 samples.
    smoothing.type = Biquad::LowPass;
    smoothing.sampleRate = static_cast<double>(sampleRate) / 32.0;
    smoothing.cutoff = effectiveRate > 0.1f ? static_cast<double>(effectiveRate) : 0.1;
    smoothing.bandwidth = 1.0;
    smoothing.Design();
}
