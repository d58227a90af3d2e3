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
    if (position > period) position = 0;
    peak = static_cast<int>(skew * static_cast<float>(period));
    risingSlope = peak == 0 ? 0.0f : 1.0f / static_cast<float>(peak);
    fallingSlope = peak == period ? 0.0f : 1.0f / static_cast<float>(peak - period);
}
