#include "dsp/Lfo.h"

namespace
{
// Longest period accepted (samples); keeps the integer conversion defined
// for vanishingly small rates.
constexpr float kMaxPeriod = 1.0e9f;
} // namespace

void Lfo::ComputePeriod()
{
    const float samples = sampleRate / effectiveRate;
    if (!(samples >= 1.0f))
        period = 1;
    else if (samples >= kMaxPeriod)
        period = static_cast<int>(kMaxPeriod);
    else
        period = static_cast<int>(samples);
}

void Lfo::ApplyPeriodRule()
{
    effectiveRate = rate * rateScale;
    SettleRate();
}

void Lfo::SetSampleRate(float newRate)
{
    sampleRate = newRate;
    // The effective rate is kept; it is only defined once a rate was applied.
    SettleRate();
}

void Lfo::SettleRate()
{
    if (!(effectiveRate > 0.0f)) effectiveRate = sampleRate;
    ComputePeriod();
    RateChanged();
}

void Lfo::SetRate(float hz)
{
    rate = hz;
    ApplyPeriodRule();
}

void Lfo::SetRateScale(float scale)
{
    rateScale = scale;
    ApplyPeriodRule();
}

void Lfo::DeriveEffectiveDepth()
{
    float d = depth * depthScale;
    if (!(d >= 0.0f))
        d = 0.0f;
    else if (d > 4.0f)
        d = 4.0f;
    effectiveDepth = d;
}

void Lfo::SetDepth(float d)
{
    depth = d;
    DeriveEffectiveDepth();
}

void Lfo::SetDepthScale(float scale)
{
    depthScale = scale;
    DeriveEffectiveDepth();
}

Lfo::Settings Lfo::CarriedSettings() const
{
    return Settings{sampleRate, rate, rateScale, effectiveDepth, depthScale, flag, spare};
}

void Lfo::TakeSettings(const Settings& s)
{
    sampleRate = s.sampleRate;
    SetRate(s.rate);
    SetRateScale(s.rateScale);
    depth = s.depth;
    depthScale = s.depthScale;
    DeriveEffectiveDepth();
    flag = s.flag;
    spare = s.spare;
}
