#pragma once

#include "dsp/Lfo.h"

// Sine from a parabolic approximation with one refinement step, in single
// precision. The phase starts at 0, so the first value is 0.5.
class LfoSine final : public Lfo
{
public:
    LfoSine() : Lfo(KindSine) { LfoSine::ShapeChanged(); }

    void Advance(int samples) override
    {
        phase += phaseIncrement * static_cast<float>(samples);
        while (phase > 3.141592653589793)
            phase = static_cast<float>(phase - 6.283185307179586);
        const float x = phase;
        const float ax = x < 0.0f ? -x : x;
        float y = 1.2732394933700562f * x - 0.40528473258018494f * x * ax;
        const float ay = y < 0.0f ? -y : y;
        y = y + (y * ay - y) * 0.22499999403953552f;
        float v = (y + 1.0f) * 0.5f;
        if (v < 0.0f)
            v = 0.0f;
        else if (v > 1.0f)
            v = 1.0f;
        value = v;
    }
    void RateChanged() override { phaseIncrement = static_cast<float>(6.283185307179586 / period); }
    // Back to phase 0, with the value that phase gives.
    void Restart()
    {
        phase = 0.0f;
        Advance(0);
    }
    void ShapeChanged() override { LfoSine::RateChanged(); }
    // Advances count oscillators by the same number of samples, four to an
    // SSE register, each with exactly the arithmetic of Advance.
    static void AdvanceEach(LfoSine* const* lfos, int count, int samples);

    float phase = 0.0f;
    float phaseIncrement = 0.0f;
};
