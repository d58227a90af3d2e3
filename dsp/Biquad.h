#pragma once

#include "dsp/LaneOps.h"

#include <cmath>

// A section's coefficients and its past input and output, over one sample
// type: a double in the engine, a register of lanes in the kernels.
template <class T> struct BiquadCoefficients
{
    T b0, b1, b2, a1, a2;

    template <class F, class... R> static void Each(F&& f, R&&... r)
    {
        f(r.b0...), f(r.b1...), f(r.b2...), f(r.a1...), f(r.a2...);
    }
};

template <class T> struct BiquadState
{
    T x1, x2, y1, y2;

    template <class F, class... R> static void Each(F&& f, R&&... r)
    {
        f(r.x1...), f(r.x2...), f(r.y1...), f(r.y2...);
    }
};

// One sample through a section (direct form I); every path runs this.
template <class T>
[[gnu::always_inline]] inline T RunBiquad(const BiquadCoefficients<T>& c, BiquadState<T>& s, T x)
{
    const T y = c.b0 * x + c.b1 * s.x1 + c.b2 * s.x2 - c.a1 * s.y1 - c.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

// Second-order filter section (direct form I) designed from the audio
// equaliser cookbook formulas with the bandwidth given in octaves.
class Biquad
{
public:
    enum Type : int
    {
        LowPass = 0,
        HighPass = 1,
        BandPass = 2,
        Notch = 3,
        Peak = 4,
        LowShelf = 5,
        HighShelf = 6
    };

    Biquad() { Design(); }
    Biquad(int filterType, double cutoffHz, double bandwidthOctaves, double rate = 44100.0,
           double gain = 1.0);

    // Recomputes the coefficients from type, cutoff, gain, bandwidth and rate.
    // A cutoff at or above half the rate is designed at rate / 2 - 50 Hz; the
    // stored cutoff keeps the requested value.
    void Design();
    // Changes one setting and redesigns; the state is kept.
    void SetCutoff(double hz);
    void SetBandwidth(double octaves);
    void SetType(int filterType);
    void SetGainDb(double dB);
    // Stores the rate, redesigns and clears the state.
    void SetSampleRate(double rate);
    // Forgets the past input and output.
    void Clear() { state = {}; }

    // Runs one sample through the section.
    double Run(double x) { return RunBiquad(coefficients, state, x); }

    // Magnitude of the designed response at a frequency (for displays and checks).
    double MagnitudeAt(double hz) const;
    // Cutoff actually used by the last design.
    double DesignedCutoff() const { return designedCutoff; }

    BiquadCoefficients<double> coefficients{1.0, 0.0, 0.0, 0.0, 0.0};
    BiquadState<double> state{};
    int type = LowPass;
    double gainDb = 1.0;
    double cutoff = 1000.0;
    double sampleRate = 44100.0;
    double bandwidth = 1.0;
    // Upper limit of the bandwidth warp w0 / sin(w0), which grows without
    // bound towards Nyquist: a low-pass designed just below it got an alpha
    // near 1e60 and muted its signal. Unlimited by default; the taps' filters
    // use kTapBandwidthWarp.
    double maxBandwidthWarp = HUGE_VAL;
    // Reached near 0.79 x Nyquist, so every tap filter design at 32 kHz and
    // above is the plain cookbook one; below that a high cutoff still passes.
    static constexpr double kTapBandwidthWarp = 4.0;

private:
    double designedCutoff = 1000.0;
};
