#include "dsp/Biquad.h"

#include <algorithm>
#include <cmath>
#include <complex>

Biquad::Biquad(int filterType, double cutoffHz, double bandwidthOctaves, double rate, double gain)
    : type(filterType), gainDb(gain), cutoff(cutoffHz), sampleRate(rate),
      bandwidth(bandwidthOctaves)
{
    Design();
}

void Biquad::Design()
{
    constexpr double kPi = 3.141592653589793;
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
    {
        // No usable rate: pass the signal through unchanged.
        coefficients = {1.0, 0.0, 0.0, 0.0, 0.0};
        designedCutoff = cutoff;
        return;
    }
    double fc = cutoff;
    if (2.0 * fc >= sampleRate) fc = sampleRate / 2.0 - 50.0;
    if (!(fc > 0.0))
    {
        // Non-positive or undefined cutoff (or a rate too low for the 50 Hz
        // margin): keep the design well defined instead of dividing by zero.
        fc = 2.0 * cutoff >= sampleRate ? sampleRate * 0.25 : sampleRate * 1e-6;
    }
    designedCutoff = fc;
    const double bw = bandwidth > 0.0 && std::isfinite(bandwidth) ? bandwidth : 1.0;

    const double w0 = 2.0 * kPi * fc / sampleRate;
    const double sn = std::sin(w0);
    const double cs = std::cos(w0);
    // The bandwidth warp w0 / sin(w0) grows without bound towards Nyquist;
    // filters that may sit there limit it (see maxBandwidthWarp).
    const double warp = std::min(w0 / sn, maxBandwidthWarp);
    const double alpha = sn * std::sinh(std::log(2.0) / 2.0 * bw * warp);

    // The shelves have their own denominator and the peak its own d0 and d2;
    // every other type shares this one.
    double n0, n1, n2;
    double d0 = 1.0 + alpha;
    double d1 = -2.0 * cs;
    double d2 = 1.0 - alpha;
    switch (type)
    {
    case HighPass:
        n0 = (1.0 + cs) / 2.0;
        n1 = -(1.0 + cs);
        n2 = n0;
        break;
    case BandPass:
        n0 = alpha;
        n1 = 0.0;
        n2 = -alpha;
        break;
    case Notch:
        n0 = 1.0;
        n1 = -2.0 * cs;
        n2 = 1.0;
        break;
    case Peak:
    {
        const double A = std::pow(10.0, gainDb / 40.0);
        n0 = 1.0 + alpha * A;
        n1 = -2.0 * cs;
        n2 = 1.0 - alpha * A;
        d0 = 1.0 + alpha / A;
        d2 = 1.0 - alpha / A;
        break;
    }
    case LowShelf:
    case HighShelf:
    {
        const double A = std::pow(10.0, gainDb / 40.0);
        const double r = 2.0 * std::sqrt(A) * alpha;
        const double sgn = type == LowShelf ? 1.0 : -1.0;
        n0 = A * ((A + 1.0) - sgn * (A - 1.0) * cs + r);
        n1 = sgn * 2.0 * A * ((A - 1.0) - sgn * (A + 1.0) * cs);
        n2 = A * ((A + 1.0) - sgn * (A - 1.0) * cs - r);
        d0 = (A + 1.0) + sgn * (A - 1.0) * cs + r;
        d1 = -sgn * 2.0 * ((A - 1.0) + sgn * (A + 1.0) * cs);
        d2 = (A + 1.0) + sgn * (A - 1.0) * cs - r;
        break;
    }
    case LowPass:
    default:
        n0 = (1.0 - cs) / 2.0;
        n1 = 1.0 - cs;
        n2 = n0;
        break;
    }
    coefficients = {n0 / d0, n1 / d0, n2 / d0, d1 / d0, d2 / d0};
}

void Biquad::SetCutoff(double hz)
{
    cutoff = hz;
    Design();
}

void Biquad::SetBandwidth(double octaves)
{
    bandwidth = octaves;
    Design();
}

void Biquad::SetType(int filterType)
{
    type = filterType;
    Design();
}

void Biquad::SetGainDb(double dB)
{
    gainDb = dB;
    Design();
}

void Biquad::SetSampleRate(double rate)
{
    sampleRate = rate;
    Design();
    Clear();
}

double Biquad::MagnitudeAt(double hz) const
{
    constexpr double kPi = 3.141592653589793;
    const double w = 2.0 * kPi * hz / sampleRate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    const BiquadCoefficients<double>& c = coefficients;
    const std::complex<double> num = c.b0 + c.b1 * z1 + c.b2 * z2;
    const std::complex<double> den = 1.0 + c.a1 * z1 + c.a2 * z2;
    return std::abs(num / den);
}
