// When the engine moves its read heads: the 32-sample control step, the LFO
// rate it carries, and the line time that a Mode change alone re-applies.

#include "DelayTestUtil.h"

#include <gtest/gtest.h>

namespace
{
constexpr int A = 0;
} // namespace

TEST(DelayTiming, ControlStepEvery32SamplesCarriesTheLfoAtItsRate)
{
    // 48 kHz, tap A swept by a 1 Hz sine of 2 ms: 96 samples either way
    // around its 300 ms (14400 samples), one period every 1500 steps.
    Delay d(nullptr);
    AEffect* e = d.GetAEffect();
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    SetParam(d, kBaseTime + A, 300.0);
    SetParam(d, kBaseShape + A, 0);
    SetParam(d, kBaseRate + A, 1.0);
    SetParam(d, kBaseDepth + A, 2.0);

    std::vector<size_t> stepAt;
    std::vector<double> offset;
    const Stereo one(1);
    Process(d, one, 1); // the first block puts the heads at the set time
    double last = d.Tap(A).Distance();
    EXPECT_DOUBLE_EQ(last, 14400.0);
    for (size_t n = 1; stepAt.size() < 1501; ++n)
    {
        Process(d, one, 1);
        if (d.Tap(A).Distance() != last)
        {
            last = d.Tap(A).Distance();
            stepAt.push_back(n);
            offset.push_back(last - 14400.0);
        }
    }
    EXPECT_EQ(stepAt[0], 31u);
    for (size_t k = 1; k < stepAt.size(); ++k)
    {
        ASSERT_EQ(stepAt[k] - stepAt[k - 1], 32u) << k;
    }
    // Step k (from 1) has moved the LFO on by 32 k samples: the peak after a
    // quarter of a second, the trough after three quarters, and back where
    // it started after one second.
    EXPECT_NEAR(offset[374], 96.0, 0.05);
    EXPECT_NEAR(offset[1124], -96.0, 0.05);
    EXPECT_NEAR(offset[1499], 0.0, 0.5);
    EXPECT_NEAR(offset[1500], offset[0], 0.5);
}

TEST(DelayTiming, ModeAloneReappliesTheLineTime)
{
    // Time 300 ms, note "1/4" (500 ms at 120 BPM): switching the mode, and
    // nothing else, moves the line between the two.
    Delay d(nullptr);
    SetParam(d, kBaseTime + A, 300.0);
    EXPECT_DOUBLE_EQ(d.Line(A).delaySamples, 0.3 * 44100.0);
    SetParam(d, kBaseMode + A, 0);
    EXPECT_DOUBLE_EQ(d.Line(A).delaySamples, 0.5 * 44100.0);
    SetParam(d, kBaseMode + A, 1);
    EXPECT_DOUBLE_EQ(d.Line(A).delaySamples, 0.3 * 44100.0);
}
