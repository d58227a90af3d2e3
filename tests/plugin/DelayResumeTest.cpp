// Switching the effect on starts it clean, and what leaves it stays within
// bounds: a runaway loop is held at its ceiling, and no denormal number
// reaches the host.

#include "DelayTestUtil.h"

#include <cfloat>
#include <gtest/gtest.h>
#include <random>

namespace
{

constexpr int A = 0, B = 1;
constexpr double kRate = 44100.0;

VstIntPtr Dispatch(Delay& d, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
    AEffect* e = d.GetAEffect();
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// effMainsChanged off, then on, as hosts do before an export.
void SwitchOffAndOn(Delay& d)
{
    Dispatch(d, effMainsChanged, 0, 0);
    Dispatch(d, effMainsChanged, 0, 1);
}

Stereo Noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    Stereo s(n);
    for (size_t i = 0; i < n; ++i)
    {
        s.l[i] = u(gen);
        s.r[i] = u(gen);
    }
    return s;
}

// Every tap running: feedback, a chain, the deterministic LFO shapes.
void Busy(Delay& d, int shape)
{
    for (int t = 0; t < kNumTaps; ++t)
    {
        SetParam(d, kBaseIn + t, 1 + t % 5);
        SetParam(d, kBaseMains + t, 1);
        SetParam(d, kBaseTime + t, 20.0 + 37.0 * t);
        SetParam(d, kBaseFb + t, -1.0 - t);
        SetParam(d, kBaseShape + t, shape);
        SetParam(d, kBaseRate + t, 0.3 + 0.5 * t);
        SetParam(d, kBaseDepth + t, 1.5);
    }
    SetParam(d, kBaseRx + 5, 2); // C feeds F
}

size_t Onset(const std::vector<double>& x, size_t from, double threshold)
{
    for (size_t i = from; i < x.size(); ++i)
    {
        if (std::fabs(x[i]) > threshold)
        {
            return i;
        }
    }
    return x.size();
}

} // namespace

TEST(DelayResume, EveryRunAfterSwitchingOnSoundsTheSame)
{
    const Stereo in = Noise(static_cast<size_t>(0.8 * kRate), 3);
    for (int shape = 0; shape < 4; ++shape)
    {
        Delay d(nullptr);
        Busy(d, shape);
        const Stereo first = Process(d, in, 300);
        // The old audio is still in the lines here; a restart forgets it.
        SwitchOffAndOn(d);
        const Stereo second = Process(d, in, 300);
        EXPECT_EQ(first.l, second.l) << shape;
        EXPECT_EQ(first.r, second.r) << shape;

        // The state carried into a new instance sounds the same there.
        void* data = nullptr;
        const VstIntPtr size = Dispatch(d, effGetChunk, 0, 0, &data);
        ASSERT_GT(size, 0);
        Delay copy(nullptr);
        Dispatch(copy, effSetChunk, 0, size, data);
        SwitchOffAndOn(copy);
        const Stereo third = Process(copy, in, 300);
        EXPECT_EQ(first.l, third.l) << shape;
        EXPECT_EQ(first.r, third.r) << shape;
    }

    // The random shape keeps wandering its own way, but starts clean too:
    // nothing of the first run is heard once the input is silent.
    Delay d(nullptr);
    Busy(d, 4);
    Process(d, in);
    SwitchOffAndOn(d);
    const Stereo quiet = Process(d, Stereo(in.size()));
    EXPECT_LT(Peak(quiet.l, 0, quiet.size()), 1e-15);
    EXPECT_LT(Peak(quiet.r, 0, quiet.size()), 1e-15);
}

TEST(DelayResume, FirstEchoComesAtItsTimeWithoutASweep)
{
    // A fresh instance, and one switched on again after a rate change: the
    // click's echo comes once, at the set time, and nothing before it. The
    // click follows the 0.3 s the output takes to fade in; a read distance
    // gliding up from a single sample would still be far short of 300 ms.
    for (const double rate : {44100.0, 48000.0})
    {
        Delay d(nullptr);
        NoModulation(d);
        SetParam(d, kBaseTime + A, 300.0);
        SetParam(d, kBaseIn + B, 0);
        if (rate != kRate)
        {
            Dispatch(d, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
            SwitchOffAndOn(d);
        }
        const size_t click = static_cast<size_t>(0.3 * rate);
        Stereo in(static_cast<size_t>(0.7 * rate));
        in.l[click] = 1.0;
        const Stereo out = Process(d, in);
        const size_t echo = click + static_cast<size_t>(0.3 * rate);
        EXPECT_LT(Peak(out.l, click + 1, echo - 2), 1e-9) << rate;
        EXPECT_NEAR(static_cast<double>(Onset(out.l, click + 1, 1e-3)), static_cast<double>(echo),
                    2.0)
            << rate;
    }
}

// Two taps at 0 dB in loops turned up past unity run away, but no further
// than the ceiling on each line's feedback value (+24 dBFS), in the single
// lane, paired and group kernels and sample by sample alike; lowered,
// the loops fall back at once.
TEST(DelayResume, RunawayLoopsStayUnderTheCeiling)
{
    for (const bool paired : {false, true})
    {
        for (const LaneKernel kernel :
             {LaneKernel::SampleBySample, LaneKernel::Pairs, LaneKernel::Quads, LaneKernel::Octets})
        {
            Delay d(nullptr);
            d.SetLaneKernel(kernel);
            SetParam(d, kBaseFb + A, 0.0);
            SetParam(d, kBaseFb + B, 0.0);
            SetParam(d, kBaseTime + A, 20.0);
            SetParam(d, kBaseTime + B, 33.0);
            SetParam(d, kBaseLpf + A, 16000.0);
            SetParam(d, kBaseHpf + B, 20.0);
            SetParam(d, kParamSclFbk, 1.25);
            if (!paired)
            {
                SetParam(d, kBaseIn + B, 0);
            }
            const Stereo burst = Noise(static_cast<size_t>(0.2 * kRate), 9);
            Process(d, burst);
            double peak = 0.0;
            for (int second = 0; second < 20; ++second)
            {
                const Stereo out = Process(d, Stereo(static_cast<size_t>(kRate)));
                peak = std::max({peak, Peak(out.l, 0, out.size()), Peak(out.r, 0, out.size())});
            }
            EXPECT_GT(peak, 4.0) << paired << static_cast<int>(kernel);  // it did run away
            EXPECT_LT(peak, 24.0) << paired << static_cast<int>(kernel); // ... under the ceiling

            SetParam(d, kParamSclFbk, 0.5);
            const Stereo after = Process(d, Stereo(static_cast<size_t>(kRate)));
            EXPECT_LT(Peak(after.l, after.size() * 3 / 4, after.size()), 1e-4)
                << paired << static_cast<int>(kernel);
        }
    }
}

TEST(DelayResume, NoDenormalReachesTheHost)
{
    // A long tail decaying through the 32-bit and the 64-bit callbacks.
    Delay d(nullptr);
    SetParam(d, kBaseFb + A, -1.0);
    SetParam(d, kBaseTime + A, 5.0);
    Dispatch(d, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    Dispatch(d, effSetBlockSize, 0, 512);
    Dispatch(d, effMainsChanged, 0, 1);
    AEffect* e = d.GetAEffect();
    std::vector<float> in32(512, 0.0f), outL32(512), outR32(512);
    std::vector<double> in64(512, 0.0), outL64(512), outR64(512);
    float* ins32[2] = {in32.data(), in32.data()};
    float* outs32[2] = {outL32.data(), outR32.data()};
    double* ins64[2] = {in64.data(), in64.data()};
    double* outs64[2] = {outL64.data(), outR64.data()};
    in32[0] = 1.0f;
    long tiny = 0;
    long nonzero = 0;
    for (int block = 0; block < 60 * 86; ++block)
    {
        const bool wide = block % 2 != 0;
        if (wide)
        {
            e->processDoubleReplacing(e, ins64, outs64, 512);
        }
        else
        {
            e->processReplacing(e, ins32, outs32, 512);
        }
        in32[0] = 0.0f;
        for (int i = 0; i < 512; ++i)
        {
            for (const double v :
                 {wide ? outL64[i] : double(outL32[i]), wide ? outR64[i] : double(outR32[i])})
            {
                tiny += v != 0.0 && std::fabs(v) < 1e-30;
                nonzero += v != 0.0;
            }
        }
    }
    EXPECT_EQ(tiny, 0);
    EXPECT_GT(nonzero, 0);
}
