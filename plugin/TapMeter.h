#pragma once

#include <array>
#include <cmath>
#include <cstdint>

// Mean-square level of one tap's output over a 300 ms time constant, for
// the editor's meter. Squaring and averaging every sample of eight taps would
// cost several per cent of the processing; the meter takes one sample of each
// stretch of output instead, at a pseudo-random place in it (so no tone can
// lock to the sampling), and decays by the stretch's length. The display,
// which moves in 1.2 dB steps five times a second, cannot tell the
// difference from a per-sample average.
struct TapMeter
{
    static constexpr int kTableLength = 64;

    double timeConstantMs = 300.0;
    double sampleRate = 44100.0;
    double coefficient = 0.0; // decay per sample
    double state = 0.0;
    uint32_t seed = 0x2545F491u;
    // coefficient to the power n, for stretches of n samples.
    std::array<double, kTableLength + 1> decay{};

    void Init(double ms, double rate)
    {
        timeConstantMs = ms;
        SetSampleRate(rate);
    }
    void SetSampleRate(double rate)
    {
        sampleRate = rate;
        const double samples = timeConstantMs * 0.001 * sampleRate;
        coefficient = samples > 0.0 ? std::exp(-1.0 / samples) : 0.0;
        double power = 1.0;
        for (double& d : decay)
        {
            d = power;
            power *= coefficient;
        }
        state = 0.0;
    }
    // Where in a stretch of count samples (count > 0) the meter looks next.
    int Pick(int count)
    {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<uint32_t>(count));
    }
    // The stretch's sample at Pick's place, standing for count samples.
    void Take(double o, int count)
    {
        const double sq = o * o;
        const double d = count <= kTableLength ? decay[static_cast<size_t>(count)]
                                               : std::pow(coefficient, count);
        state = (state - sq) * d + sq;
    }
    void Run(const double* out, int count)
    {
        if (count > 0)
        {
            Take(out[Pick(count)], count);
        }
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
