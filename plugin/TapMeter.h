#pragma once

#include <cmath>

// Mean-square level of one tap's output. With the 300 ms constant applied as
// a per-sample coefficient of exp(-0.3 x rate) the coefficient is 0 at any
// audio rate, so the state is the square of the latest output.
struct TapMeter
{
    double timeConstantMs = 300.0;
    double sampleRate = 44100.0;
    double coefficient = 0.0;
    double state = 0.0;

    void Init(double ms, double rate)
    {
        timeConstantMs = ms;
        SetSampleRate(rate);
    }
    void SetSampleRate(double rate)
    {
        sampleRate = rate;
        coefficient = std::exp(-timeConstantMs * 0.001 * sampleRate);
        state = 0.0;
    }
    void Run(double o)
    {
        const double sq = o * o;
        state = (state - sq) * coefficient + sq;
    }
    // Meter position 0..1: -60 dB to 0 dB spread over the travel, 0.02 from
    // -90 dB to -60 dB, 0 below, 1 from 0 dB up.
    static float Position(double meanSquare)
    {
        if (!(meanSquare > 0.0))
        {
            return 0.0f;
        }
        const double d = 10.0 * std::log10(meanSquare);
        if (!(d > -90.0))
        {
            return 0.0f;
        }
        if (!(d > -60.0))
        {
            return 0.02f;
        }
        if (d >= 0.0)
        {
            return 1.0f; // the scale ends at full level
        }
        return static_cast<float>((d + 60.0) * 0.016666666666666666);
    }
};
