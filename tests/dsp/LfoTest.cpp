#include "dsp/LfoRandom.h"
#include "dsp/LfoSine.h"
#include "dsp/LfoTriangle.h"
#include "dsp/TapLfo.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace
{
constexpr double kTwoPi = 6.283185307179586;

double StdDev(const std::vector<double>& v)
{
    double m = 0.0, s = 0.0;
    for (double x : v)
        m += x;
    m /= v.size();
    for (double x : v)
        s += (x - m) * (x - m);
    return std::sqrt(s / v.size());
}

std::vector<double> RandomRun(float hz, uint32_t seed, int steps)
{
    LfoRandom r;
    r.Seed(seed);
    r.SetRate(hz);
    std::vector<double> v;
    // The smoothing filter starts from 0; skip its rise to the middle.
    for (int i = 0; i < steps + 30000; ++i)
    {
        r.Advance(32);
        if (i >= 30000) v.push_back(r.value);
    }
    return v;
}
} // namespace

TEST(Lfo, SineFollowsASineOverItsPeriod)
{
    LfoSine s;
    s.SetRate(1.0f);
    EXPECT_EQ(s.period, 44100);
    s.Advance(0);
    EXPECT_FLOAT_EQ(s.value, 0.5f);
    double worst = 0.0;
    double lo = 1.0, hi = 0.0;
    for (int k = 1; k <= 44100 / 32 * 3; ++k)
    {
        s.Advance(32);
        const double expect = 0.5 + 0.5 * std::sin(kTwoPi * (32.0 * k) / 44100.0);
        worst = std::max(worst, std::fabs(s.value - expect));
        lo = std::min(lo, double(s.value));
        hi = std::max(hi, double(s.value));
    }
    EXPECT_LT(worst, 0.002);
    EXPECT_LT(lo, 0.001);
    EXPECT_GT(hi, 0.999);
}

TEST(Lfo, TriangleAndRampsHaveTheirShapes)
{
    LfoTriangle tri;
    tri.SetRate(1.0f);
    EXPECT_EQ(tri.period, 44100);
    EXPECT_EQ(tri.peak, 22050);
    tri.Advance(11025);
    EXPECT_NEAR(tri.value, 0.5, 1e-6);
    tri.Advance(11025);
    EXPECT_NEAR(tri.value, 1.0, 1e-6);
    tri.Advance(11025);
    EXPECT_NEAR(tri.value, 0.5, 1e-6);
    tri.Advance(11025);
    EXPECT_NEAR(tri.value, 0.0, 1e-6);

    LfoTriangle up(Lfo::KindRampUp), down(Lfo::KindRampDown);
    for (Lfo* l : {static_cast<Lfo*>(&up), static_cast<Lfo*>(&down)})
        l->SetRate(1.0f);
    for (int pos : {0, 1, 11025, 44099})
    {
        up.position = down.position = 0;
        up.Advance(pos);
        down.Advance(pos);
        EXPECT_NEAR(up.value, pos / 44100.0, 1e-6) << pos;
        EXPECT_NEAR(down.value, pos == 0 ? 0.0 : 1.0 - pos / 44100.0, 1e-6) << pos;
    }
    // One step past the period end drops the rising ramp back to 0.
    up.Advance(1);
    EXPECT_EQ(up.value, 0.0f);
}

// Turning the rate keeps the wave where it is in its period, as the sine
// does: the read head does not jump.
TEST(Lfo, ARateChangeKeepsTheTrianglesPlaceInItsPeriod)
{
    LfoTriangle tri;
    tri.SetRate(1.0f);
    tri.Advance(11025); // a quarter period: halfway up
    tri.SetRate(1.1f);
    tri.Advance(0);
    EXPECT_NEAR(tri.value, 0.5, 1e-3);
}

TEST(Lfo, PeriodShorterThanTheStepWrapsWithinOneAdvance)
{
    LfoTriangle tri;
    tri.SetRate(44100.0f / 20.0f);
    ASSERT_EQ(tri.period, 20);
    tri.Advance(32);
    EXPECT_EQ(tri.position, 12);
    tri.Advance(32);
    EXPECT_EQ(tri.position, 4);
}

TEST(Lfo, RateZeroCollapsesThePeriod)
{
    LfoSine s;
    LfoTriangle tri, up(Lfo::KindRampUp), down(Lfo::KindRampDown);
    for (Lfo* l : std::initializer_list<Lfo*>{&s, &tri, &up, &down})
    {
        l->SetRate(0.0f);
        EXPECT_EQ(l->period, 1);
        EXPECT_EQ(l->effectiveRate, 44100.0f);
        for (int i = 0; i < 10; ++i)
            l->Advance(32);
    }
    EXPECT_NEAR(s.value, 0.5, 1e-3);
    EXPECT_EQ(tri.value, 0.0f);
    EXPECT_EQ(up.value, 0.0f);
    EXPECT_EQ(down.value, 0.0f);
    // A negative scale counts like a zero rate; NaN too.
    tri.SetRate(1.0f);
    tri.SetRateScale(-1.0f);
    EXPECT_EQ(tri.period, 1);
    tri.SetRate(NAN);
    EXPECT_EQ(tri.period, 1);
}

TEST(Lfo, RandomWandersAroundTheMiddleMoreAtHigherRates)
{
    const auto slow = RandomRun(0.1f, 12345u, 20000);
    const auto fast = RandomRun(5.0f, 12345u, 20000);
    const auto open = RandomRun(0.0f, 12345u, 20000);
    EXPECT_LT(StdDev(slow), StdDev(fast));
    EXPECT_LT(StdDev(fast), StdDev(open));
    EXPECT_GT(StdDev(slow), 0.002);
    double mean = 0.0;
    for (double v : fast)
        mean += v;
    EXPECT_NEAR(mean / fast.size(), 0.5, 0.05);
    // Same seed, same sequence; another seed, another one.
    EXPECT_EQ(RandomRun(5.0f, 12345u, 50), RandomRun(5.0f, 12345u, 50));
    for (double v : open)
        EXPECT_TRUE(v > 0.0 && v < 1.0);
    EXPECT_NE(RandomRun(5.0f, 12345u, 50), RandomRun(5.0f, 54321u, 50));
}

TEST(Lfo, ReplacingTheShapeCarriesSettingsAndRestarts)
{
    TapLfo lfo;
    EXPECT_EQ(lfo.Kind(), Lfo::KindSine);
    lfo->SetSampleRate(48000.0f);
    lfo->SetRate(2.0f);
    lfo->SetRateScale(0.5f);
    lfo->SetDepth(3.0f);
    lfo->SetDepthScale(2.0f);
    lfo->flag = 1;
    lfo->spare = 7;
    EXPECT_TRUE(lfo.Replace(Lfo::KindRampUp));
    EXPECT_EQ(lfo.Kind(), Lfo::KindRampUp);
    EXPECT_EQ(lfo->sampleRate, 48000.0f);
    // The depth carried over is the old effective depth, limited to 4.
    EXPECT_EQ(lfo->depth, 4.0f);
    EXPECT_EQ(lfo->depthScale, 2.0f);
    EXPECT_EQ(lfo->effectiveDepth, 4.0f);
    EXPECT_EQ(lfo->period, 48000);
    EXPECT_EQ(lfo->flag, 1);
    EXPECT_EQ(lfo->spare, 7);
    EXPECT_FLOAT_EQ(lfo.Advance(12000), 0.25f);

    // The same kind again keeps the running oscillator and its position.
    EXPECT_FALSE(lfo.Replace(Lfo::KindRampUp));
    EXPECT_FLOAT_EQ(lfo.Advance(12000), 0.5f);

    // A different kind starts from its beginning.
    EXPECT_TRUE(lfo.Replace(Lfo::KindRampDown));
    EXPECT_FLOAT_EQ(lfo.Advance(12000), 0.75f);
    EXPECT_TRUE(lfo.Replace(Lfo::KindRandom));
    EXPECT_EQ(lfo->period, 48000);
    EXPECT_TRUE(lfo.Replace(99));
    EXPECT_EQ(lfo.Kind(), Lfo::KindSine);
}

// Four to a register, sine oscillators step exactly as one by one: slow and
// fast rates, the fastest wrapping several turns in one step, a group of
// four and a remainder of two.
TEST(Lfo, SinesAdvancedTogetherMatchOneByOne)
{
    const float rates[6] = {0.05f, 1.0f, 7.3f, 400.0f, 44100.0f, 0.0f};
    LfoSine together[6], alone[6];
    LfoSine* group[6];
    for (int i = 0; i < 6; ++i)
    {
        together[i].SetRate(rates[i]);
        alone[i].SetRate(rates[i]);
        group[i] = &together[i];
    }
    for (int step = 0; step < 500; ++step)
    {
        LfoSine::AdvanceEach(group, 6, 32);
        for (int i = 0; i < 6; ++i)
        {
            alone[i].Advance(32);
            ASSERT_EQ(together[i].phase, alone[i].phase) << i << " " << step;
            ASSERT_EQ(together[i].value, alone[i].value) << i << " " << step;
        }
    }
}
