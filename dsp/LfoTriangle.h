#pragma once

#include "dsp/Lfo.h"

// Triangle with a movable peak: skew 0.5 is the symmetric triangle, 1.0 a
// rising ramp, 0.0 a falling ramp.
class LfoTriangle final : public Lfo
{
public:
    LfoTriangle() : Lfo(KindTriangle) { LfoTriangle::ShapeChanged(); }
    // Triangle, ramp up or ramp down by shape kind (1, 2, 3).
    explicit LfoTriangle(int kind);

    void Advance(int samples) override
    {
        position = static_cast<int>((static_cast<long long>(position) + samples) % period);
        if (position < 0) position += period;
        if (position > peak)
            value = static_cast<float>(position - peak) * fallingSlope + 1.0f;
        else
            value = risingSlope * static_cast<float>(position);
    }
    void RateChanged() override;
    void ShapeChanged() override { LfoTriangle::RateChanged(); }
    // Back to the start of the period, with the value there.
    void Restart()
    {
        position = 0;
        Advance(0);
    }

    int position = 0;
    int positionPeriod = 0; // the period position counts in
    int peak = 0;
    float risingSlope = 0.0f;
    float fallingSlope = 0.0f;
};
