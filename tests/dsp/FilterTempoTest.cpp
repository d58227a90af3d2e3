#include "dsp/Biquad.h"
#include "dsp/DelayTap.h"
#include "dsp/TempoInfo.h"

#include <cmath>
#include <gtest/gtest.h>

namespace
{
constexpr double kPi = 3.141592653589793;

// Steady-state gain of a filter for a sine, measured by running it for two
// seconds and correlating the second one with sine and cosine.
double MeasuredGain(Biquad f, double hz)
{
    f.Clear();
    const double w = 2.0 * kPi * hz / f.sampleRate;
    const int n = static_cast<int>(f.sampleRate);
    double s = 0.0, c = 0.0;
    for (int i = 0; i < 2 * n; ++i)
    {
        const double y = f.Run(std::sin(w * i));
        if (i >= n)
        {
            s += y * std::sin(w * i);
            c += y * std::cos(w * i);
        }
    }
    return 2.0 * std::hypot(s, c) / n;
}

// Q of the cookbook design for a bandwidth in octaves at w0.
double QFor(double bw, double w0)
{
    return 1.0 / (2.0 * std::sinh(std::log(2.0) / 2.0 * bw * w0 / std::sin(w0)));
}
} // namespace

TEST(Biquad, LowAndHighPassMatchTheirAnalyticResponse)
{
    for (double rate : {44100.0, 48000.0})
    {
        Biquad lp(Biquad::LowPass, 4000.0, 1.9, rate);
        Biquad hp(Biquad::HighPass, 150.0, 1.9, rate);
        // Unity in the pass band at the band edge (DC, Nyquist).
        EXPECT_NEAR(lp.MagnitudeAt(0.0), 1.0, 1e-12);
        EXPECT_NEAR(hp.MagnitudeAt(rate / 2.0), 1.0, 1e-12);
        EXPECT_NEAR(hp.MagnitudeAt(0.0), 0.0, 1e-12);
        EXPECT_NEAR(lp.MagnitudeAt(rate / 2.0), 0.0, 1e-12);
        // At the cutoff the cookbook low- and high-pass have gain Q.
        EXPECT_NEAR(lp.MagnitudeAt(4000.0), QFor(1.9, 2 * kPi * 4000.0 / rate), 1e-9);
        EXPECT_NEAR(hp.MagnitudeAt(150.0), QFor(1.9, 2 * kPi * 150.0 / rate), 1e-9);
        // The running filter delivers the designed magnitude; second-order slopes.
        for (double hz : {100.0, 1000.0, 4000.0, 12000.0})
            EXPECT_NEAR(MeasuredGain(lp, hz), lp.MagnitudeAt(hz), 1e-6) << hz;
        for (double hz : {50.0, 150.0, 1000.0})
            EXPECT_NEAR(MeasuredGain(hp, hz), hp.MagnitudeAt(hz), 1e-6) << hz;
    }
}

TEST(Biquad, CutoffAtOrAboveNyquistIsPulledBelowIt)
{
    Biquad high(Biquad::LowPass, 30000.0, 1.9, 44100.0);
    Biquad ref(Biquad::LowPass, 22000.0, 1.9, 44100.0);
    EXPECT_DOUBLE_EQ(high.DesignedCutoff(), 22000.0);
    EXPECT_EQ(high.cutoff, 30000.0);
    EXPECT_EQ(high.coefficients.b0, ref.coefficients.b0);
    EXPECT_EQ(high.coefficients.a1, ref.coefficients.a1);
    EXPECT_EQ(high.coefficients.a2, ref.coefficients.a2);
    // The requested cutoff comes back when the rate allows it.
    high.SetSampleRate(96000.0);
    EXPECT_DOUBLE_EQ(high.DesignedCutoff(), 30000.0);
}

// Just below Nyquist the cookbook's bandwidth warp explodes; a low-pass
// placed there must still pass the low frequencies instead of muting them.
TEST(Biquad, LowPassNearNyquistStillPasses)
{
    for (double rate : {8000.0, 22050.0, 24000.0})
    {
        Biquad lp(Biquad::LowPass, 12000.0, 1.9, rate);
        lp.maxBandwidthWarp = Biquad::kTapBandwidthWarp;
        lp.Design();
        EXPECT_NEAR(MeasuredGain(lp, 200.0), 1.0, 0.01) << rate;
        EXPECT_GT(MeasuredGain(lp, rate / 8.0), 0.9) << rate;
    }
    // The taps' own filters carry the limit through rate changes.
    DelayTap tap;
    tap.SetSampleRate(22050.0);
    tap.SetLowPassCutoff(12000.0);
    EXPECT_NEAR(MeasuredGain(tap.lowPass, 200.0), 1.0, 0.01);
    // Far from Nyquist nothing changes: the plain cookbook Q at the cutoff.
    Biquad lp(Biquad::LowPass, 12000.0, 1.9, 32000.0);
    lp.maxBandwidthWarp = Biquad::kTapBandwidthWarp;
    lp.Design();
    EXPECT_NEAR(lp.MagnitudeAt(12000.0), QFor(1.9, 2 * kPi * 12000.0 / 32000.0), 1e-9);
}

TEST(Biquad, DegenerateSettingsStayFinite)
{
    for (double fc : std::initializer_list<double>{0.0, -5.0, NAN, 1e12})
        for (double rate : std::initializer_list<double>{44100.0, 60.0, 0.0, NAN})
        {
            Biquad f(Biquad::LowPass, fc, 1.0, rate);
            double y = 0.0;
            for (int i = 0; i < 1000; ++i)
                y = f.Run(i % 2 ? 1.0 : -1.0);
            EXPECT_TRUE(std::isfinite(y)) << fc << " " << rate;
        }
}

TEST(TempoInfo, BeatIsAQuarterNoteWhateverTheSignature)
{
    TempoInfo t;
    EXPECT_EQ(t.samplesPerBeat, 22100.0);
    EXPECT_FALSE(t.UpdateTempo(4, 4, 120.0));
    EXPECT_EQ(t.samplesPerBeat, 22100.0);
    EXPECT_TRUE(t.UpdateTempo(4, 4, 121.0));
    EXPECT_TRUE(t.UpdateTempo(4, 4, 120.0));
    EXPECT_DOUBLE_EQ(t.samplesPerBeat, 22050.0);
    EXPECT_TRUE(t.UpdateTempo(7, 8, 120.0));
    EXPECT_DOUBLE_EQ(t.samplesPerBeat, 22050.0);
    EXPECT_DOUBLE_EQ(t.NoteMs(1.0), 500.0);
    EXPECT_DOUBLE_EQ(t.NoteMs(4.0), 2000.0);
    t.SetSampleRate(48000.0);
    EXPECT_DOUBLE_EQ(t.samplesPerBeat, 24000.0);
    // Meaningless host values fall back to 120 BPM in 4/4.
    t.UpdateTempo(0, 0, 0.0);
    EXPECT_EQ(t.numerator, 4);
    EXPECT_EQ(t.denominator, 4);
    EXPECT_EQ(t.tempo, 120.0);
    t.UpdateTempo(3, 4, NAN);
    EXPECT_EQ(t.tempo, 120.0);
}
