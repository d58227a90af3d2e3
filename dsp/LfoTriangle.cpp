#include "dsp/LfoTriangle.h"

LfoTriangle::LfoTriangle(int kind) : Lfo(kind)
{
    if (kind == KindRampUp)
        skew = 1.0f;
    else if (kind == KindRampDown)
        skew = 0.0f;
    else
        skew = 0.5f;
    LfoTriangle::ShapeChanged();
}

void LfoTriangle::RateChanged()
{
    // The position keeps its place in the period when the period changes, so
    // turning the rate moves the wave on smoothly instead of jumping it.
    if (positionPeriod > 0 && positionPeriod != period)
    {
        position = static_cast<int>(static_cast<long long>(position) * period / positionPeriod);
    }
    positionPeriod = period;
    if (position > period) position = 0;
    peak = static_cast<int>(skew * static_cast<float>(period));
    risingSlope = peak == 0 ? 0.0f : 1.0f / static_cast<float>(peak);
    fallingSlope = peak == period ? 0.0f : 1.0f / static_cast<float>(peak - period);
}
