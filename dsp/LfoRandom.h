#pragma once

#include "dsp/Biquad.h"
#include "dsp/Lfo.h"

#include <cstdint>

// Smoothed random wander: one generator step and one low-pass step per
// advance. The filter runs at a 32nd of the sample rate with the effective
// rate as cutoff, so slower rates give smaller excursions around 0.5.
class LfoRandom final : public Lfo
{
public:
    // Seeds from the object's address times the process clock.
    LfoRandom();

    void Advance(int) override
    {
        w = 36969u * (w & 0xFFFFu) + (w >> 16);
        z = 18000u * (z & 0xFFFFu) + (z >> 16);
        const uint32_t bits = (w << 16) + z;
        const double r = static_cast<double>(bits) * 2.3283064370807974e-10;
        value = static_cast<float>(effectiveDepth * smoothing.Run(r));
    }
    void RateChanged() override;
    void ShapeChanged() override { LfoRandom::RateChanged(); }
    // The wander has no start: the generator keeps its seeding and the
    // smoothing its state.
    void Restart() {}

    void Seed(uint32_t seed)
    {
        z = seed;
        w = ~seed;
    }

    uint32_t z = 0;
    uint32_t w = 0;
    Biquad smoothing;
};
