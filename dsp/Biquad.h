#pragma once

#include <cmath>

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
    void Clear() { x1 = x2 = y1 = y2 = 0.0; }

    // Runs one sample through the section.
    double Run(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // Magnitude of the designed response at a frequency (for displays and checks).
    double MagnitudeAt(double hz) const;
    // Cutoff actually used by the last design.
    double DesignedCutoff() const { return designedCutoff; }

    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
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
