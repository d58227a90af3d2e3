#include "DelayTestUtil.h"
#include "support/ScriptedHost.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace
{

constexpr int A = 0, B = 1, C = 2;
constexpr double kRate = 44100.0;

size_t Ms(double ms, double rate = kRate)
{
    return static_cast<size_t>(ms * rate / 1000.0);
}

// First index from which |x| exceeds a threshold, or x.size().
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

// Combined magnitude of a tap's two filters at a frequency.
double FilterGain(const DelayTap& tap, double hz)
{
    return tap.highPass.MagnitudeAt(hz) * tap.lowPass.MagnitudeAt(hz);
}

// An instance whose read distances have glided to their targets.
void Settle(Delay& d)
{
    RunSilence(d, 5.0);
}

std::vector<double> Noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    std::vector<double> x(n);
    for (double& v : x)
    {
        v = u(gen);
    }
    return x;
}

} // namespace

TEST(DelayProcess, DefaultsEchoEachSideAfterHalfASecond)
{
    Delay d(nullptr);
    NoModulation(d);
    Settle(d);

    // A 1 kHz burst on the left only, then silence.
    Stereo in(Ms(1400));
    const auto tone = Tone(Ms(300), 1000.0);
    std::copy(tone.begin(), tone.end(), in.l.begin());
    const Stereo out = Process(d, in);

    // Dry path: input x Dry at full level.
    EXPECT_NEAR(out.l[100], in.l[100] * 0.7, 1e-12);
    EXPECT_NEAR(out.r[100], 0.0, 1e-12);
    // Tap A carries the echo, centred: half of it on each side.
    EXPECT_NEAR(static_cast<double>(Onset(out.l, Ms(300), 1e-3)), static_cast<double>(Ms(500)),
                3.0);
    const double expected = 0.5 * 0.5 * 0.7 * FilterGain(d.Tap(A), 1000.0) * std::sqrt(0.5);
    EXPECT_NEAR(Rms(out.l, Ms(550), Ms(750)), expected, expected * 0.01);
    EXPECT_NEAR(Rms(out.r, Ms(550), Ms(750)), expected, expected * 0.01);
    // The repeat comes 500 ms later, lowered by the -3 dB feedback and filters.
    const double repeat =
        expected * std::exp(-3.0 * 0.1151292546497) * FilterGain(d.Tap(A), 1000.0);
    EXPECT_NEAR(Rms(out.l, Ms(1050), Ms(1250)), repeat, repeat * 0.02);

    // Panned hard, the left side's echo stays on the left.
    SetParam(d, kBasePan + A, 0.0);
    SetParam(d, kBasePan + B, 1.0);
    SetParam(d, kParamPanic, 1.0);
    Settle(d);
    Stereo both(Ms(800));
    both.l = Tone(both.size(), 1000.0);
    const Stereo out2 = Process(d, both);
    std::vector<double> echo(out2.size());
    for (size_t i = 0; i < echo.size(); ++i)
    {
        echo[i] = out2.l[i] - 0.7 * both.l[i];
    }
    EXPECT_LT(Rms(out2.r, Ms(600), Ms(800)), 1e-9);
    EXPECT_NEAR(Rms(echo, Ms(600), Ms(800)), 2 * expected, 2 * expected * 0.01);
}

// A tap turned off stops its line, and its heads are no longer placed at
// every control step; turned on again, it must read the line at the time it
// has now, also when the time changed while it was off.
TEST(DelayProcess, ATapTurnedOnAgainReadsAtItsPresentTime)
{
    for (LaneKernel kernel : {LaneKernel::SampleBySample, LaneEngine::FastestKernel()})
    {
        Delay d(nullptr);
        d.SetLaneKernel(kernel);
        NoModulation(d);
        SetParam(d, kParamFbScale, 0.0);
        SetParam(d, kBaseMains + B, 0);
        SetParam(d, kBaseTime + A, 10.0);
        Settle(d);
        // A click 4 samples later than 20 ms before the line stops.
        Stereo in(Ms(100));
        in.l[in.size() - Ms(20) + 4] = 1.0;
        Process(d, in);
        SetParam(d, kBaseMains + A, 0);
        SetParam(d, kBaseTime + A, 20.0);
        Settle(d);
        SetParam(d, kBaseMains + A, 1);
        const Stereo out = Process(d, Stereo(Ms(5)));
        size_t loudest = 0;
        for (size_t k = 0; k < out.size(); ++k)
        {
            if (std::fabs(out.l[k]) > std::fabs(out.l[loudest])) loudest = k;
        }
        EXPECT_NEAR(static_cast<double>(loudest), 4.0, 2.0) << LaneEngine::KernelName(kernel);
        EXPECT_GT(std::fabs(out.l[loudest]), 0.05) << LaneEngine::KernelName(kernel);
    }
}

TEST(DelayProcess, ChainedLinesRunInDependencyOrder)
{
    // X -> Y with equal settings must sound the same whichever letters play
    // the two roles: the second line hears the first in the same sample.
    auto render = [](int first, int second)
    {
        Delay d(nullptr);
        NoModulation(d);
        SetParam(d, kBaseIn + A, 0);
        SetParam(d, kBaseIn + B, 0);
        SetParam(d, kBaseMains + A, 0);
        SetParam(d, kBaseMains + B, 0);
        SetParam(d, kBaseIn + first, 1);
        SetParam(d, kBaseRx + second, first);
        SetParam(d, kBaseMains + second, 1);
        SetParam(d, kBaseTime + first, 3.0);
        SetParam(d, kBaseTime + second, 2.0);
        Stereo in(Ms(400));
        in.l = Noise(in.size(), 7);
        return Process(d, in).l;
    };
    const auto ab = render(A, B);
    const auto ba = render(B, A);
    const auto ac = render(A, C);
    EXPECT_EQ(ab, ba);
    EXPECT_EQ(ab, ac);
}

TEST(DelayProcess, InjectionFraction)
{
    Delay d(nullptr);
    NoModulation(d);
    SetParam(d, kBasePct + A, 0.0);
    Delay ref(nullptr);
    NoModulation(ref);
    SetParam(ref, kBasePct + A, 1.0);
    Stereo in(Ms(300));
    in.l = Noise(in.size(), 3);
    EXPECT_EQ(Process(d, in).l, Process(ref, in).l); // 0 behaves as 1

    // A quarter: the first echo after 125 ms, the repeat 500 ms after that.
    Delay e(nullptr);
    NoModulation(e);
    SetParam(e, kBasePct + A, 0.25);
    SetParam(e, kBaseFb + A, 0.0);
    Settle(e);
    Stereo click(Ms(1000));
    click.l[0] = 1.0;
    const Stereo out = Process(e, click);
    const size_t first = Onset(out.l, 10, 1e-3);
    EXPECT_NEAR(static_cast<double>(first), static_cast<double>(Ms(125)), 3.0);
    EXPECT_NEAR(static_cast<double>(Onset(out.l, first + Ms(100), 1e-3)),
                static_cast<double>(first + Ms(500)), 3.0);
}

// The first echo after a tenth of 20 ms, the LFO swinging 2.5 ms: the heads
// never swing in front of the injection point, where nothing has arrived.
TEST(DelayProcess, ModulationNeverReadsAheadOfTheInjection)
{
    Delay d(nullptr);
    SetParam(d, kParamDry, 0.0);
    SetParam(d, kBaseTime + A, 20.0);
    SetParam(d, kBasePct + A, 0.1);
    SetParam(d, kBaseDepth + A, 2.5);
    Settle(d);
    Stereo in(Ms(2000));
    in.l = Tone(in.size(), 220.0);
    const Stereo out = Process(d, in);
    double quietest = 1.0;
    for (size_t w = Ms(100); w + Ms(5) <= out.size(); w += Ms(2.5))
        quietest = std::min(quietest, Rms(out.l, w, w + Ms(5)));
    EXPECT_GT(quietest, 0.01);
}

TEST(DelayProcess, TempoLock)
{
    TestDelay d;
    SetParam(d, kBaseMode + A, 0);
    struct Case
    {
        double bpm;
        int note;
        double ms;
    };
    const Case cases[] = {
        {120.0, 9, 500.0},               // 1/4
        {120.0, 7, 2000.0},              // 1/1
        {120.0, 0, 90112 / 44.1 - 20.0}, // 8/1 is cut to the buffer
        {120.0, 14, 750.0},              // 1/4 d
        {120.0, 19, 1000.0 / 3.0},       // 1/4 t
        {97.0, 9, 60000.0 / 97.0},
        {97.0, 15, 0.75 * 60000.0 / 97.0},      // 1/8 d
        {97.0, 18, 4.0 / 3.0 * 60000.0 / 97.0}, // 1/2 t
        {97.0, 21, 60000.0 / 97.0 / 6.0},       // 1/16 t
        {97.0, 22, 60000.0 / 97.0 / 12.0},      // 1/32 t
    };
    for (const Case& c : cases)
    {
        d.tempo = c.bpm;
        SetParam(d, kBaseBpm + A, c.note);
        Process(d, Stereo(64));
        EXPECT_NEAR(d.Line(A).effectiveTimeMs, c.ms, 1e-9) << c.bpm << " " << kNoteChoices[c.note];
        EXPECT_NEAR(d.Line(A).delaySamples, c.ms * 44.1, 1e-6);
    }
    // Tempo 0 and a 0/0 signature count as 120 BPM in 4/4; 7/8 changes nothing.
    d.tempo = 0.0;
    SetParam(d, kBaseBpm + A, 9);
    Process(d, Stereo(64));
    EXPECT_NEAR(d.Line(A).effectiveTimeMs, 500.0, 1e-9);
    d.numerator = 7;
    d.denominator = 8;
    Process(d, Stereo(64));
    EXPECT_NEAR(d.Line(A).effectiveTimeMs, 500.0, 1e-9);
    // A line in msec mode ignores the tempo.
    EXPECT_EQ(d.Line(B).effectiveTimeMs, 500.0);
    d.tempo = 60.0;
    Process(d, Stereo(64));
    EXPECT_NEAR(d.Line(A).effectiveTimeMs, 1000.0, 1e-9);
    EXPECT_EQ(d.Line(B).effectiveTimeMs, 500.0);
}

TEST(DelayProcess, OneTimeQueryPerBlock)
{
    // A host with no time record: 120 BPM in 4/4, asked once per block.
    ScriptedHost host;
    Delay d(host.Callback());
    SetParam(d, kBaseMode + A, 0);
    SetParam(d, kBaseBpm + A, 9); // 1/4
    const int before = host.Count(audioMasterGetTime);
    Process(d, Stereo(3 * 64), 64);
    EXPECT_EQ(host.Count(audioMasterGetTime) - before, 3);
    EXPECT_NEAR(d.Line(A).effectiveTimeMs, 500.0, 1e-9);
    // With one: its tempo and signature.
    host.hasTime = true;
    host.time.flags = kVstTempoValid | kVstTimeSigValid;
    host.time.tempo = 90.0;
    host.time.timeSigNumerator = 6;
    host.time.timeSigDenominator = 8;
    Process(d, Stereo(64));
    EXPECT_NEAR(d.Line(A).effectiveTimeMs, 60000.0 / 90.0, 1e-9);
}

TEST(DelayProcess, HostPositionAtTheTopOfItsRange)
{
    // Long sessions saturate the host position; the block after it must not
    // overflow.
    TestDelay d;
    d.position = INT_MAX;
    Stereo in(64);
    in.l.assign(64, 0.5);
    const Stereo out = Process(d, in);
    Process(d, in);
    EXPECT_GT(out.l[63], 0.0);
}

TEST(DelayProcess, ScaleKnobs)
{
    Delay d(nullptr);
    SetParam(d, kParamSclDly, 2.0);
    EXPECT_EQ(d.Line(A).effectiveTimeMs, 1000.0);
    SetParam(d, kBaseTime + B, 2000.0);
    SetParam(d, kParamSclDly, 4.0);
    EXPECT_NEAR(d.Line(B).effectiveTimeMs, 90112 / 44.1 - 20.0, 1e-9);

    SetParam(d, kBaseRate + A, 2.0);
    SetParam(d, kParamSclRate, 0.5);
    EXPECT_EQ(d.Tap(A).GetLfo().Period(), 44100);
    SetParam(d, kParamSclRate, 4.0);
    EXPECT_EQ(d.Tap(A).GetLfo().Period(), 5512);

    // Depth scale: the read distance swings by scale x depth around its target.
    auto swing = [](Delay& dl)
    {
        double lo = 1e300, hi = -1e300;
        for (int k = 0; k < 2000; ++k)
        {
            Process(dl, Stereo(32), 32);
            lo = std::min(lo, dl.Tap(A).Distance());
            hi = std::max(hi, dl.Tap(A).Distance());
        }
        return hi - lo;
    };
    SetParam(d, kParamSclDly, 1.0);
    SetParam(d, kParamSclRate, 1.0);
    SetParam(d, kBaseRate + A, 5.0);
    Settle(d);
    SetParam(d, kParamSclDpth, 1.0);
    EXPECT_NEAR(swing(d), 2 * 2.5 * 44.1, 2.0);
    SetParam(d, kParamSclDpth, 2.0);
    EXPECT_NEAR(swing(d), 2 * 5.0 * 44.1, 2.0);

    // Feedback scale knob: the repeat grows by the same factor.
    auto repeatRatio = [](double scale)
    {
        Delay dl(nullptr);
        NoModulation(dl);
        SetParam(dl, kParamSclFbk, scale);
        SetParam(dl, kBaseTime + A, 100.0);
        Settle(dl);
        Stereo in(Ms(400));
        const auto t = Tone(Ms(60), 1000.0);
        std::copy(t.begin(), t.end(), in.l.begin());
        const Stereo out = Process(dl, in);
        return Rms(out.l, Ms(210), Ms(250)) / Rms(out.l, Ms(110), Ms(150));
    };
    EXPECT_NEAR(repeatRatio(1.25) / repeatRatio(1.0), 1.25, 1e-3);

    // Reset: all four back to exactly 1, shown as "reset".
    SetParam(d, kParamSclFbk, 0.8);
    SetParam(d, kParamSclRst, 1.0);
    for (int idx : {kParamSclDly, kParamSclFbk, kParamSclRate, kParamSclDpth})
    {
        EXPECT_EQ(d.GetParam(idx)->Value(), 1.0);
    }
    EXPECT_EQ(d.Line(A).timeScale, 1.0);
    EXPECT_EQ(d.Tap(A).GetLfo().rateScale, 1.0f);
    EXPECT_STREQ(d.ReadoutText(), "reset");
    SetParam(d, kParamSclDly, 2.0);
    SetParam(d, kParamSclRst, 0.0);
    EXPECT_EQ(d.GetParam(kParamSclDly)->Value(), 2.0);
}

TEST(DelayProcess, PortsBypassAndMute)
{
    // A bypassed tap passes its line's input straight through, so the output
    // shows the port signal exactly.
    Delay d(nullptr);
    SetParam(d, kParamDry, 0.0);
    SetParam(d, kParamWet, 1.0);
    SetParam(d, kBaseMains + B, 0);
    SetParam(d, kBaseOper + A, 1);
    SetParam(d, kBasePan + A, 0.0);
    Settle(d);
    Stereo in(64);
    in.l.assign(64, 0.6);
    in.r.assign(64, 0.2);
    const double h = 0.7071067811865475;
    const double expect[6] = {0.0, 0.6, 0.2, 0.4, 0.8 * h, 0.4 * h};
    for (int port = 1; port < 6; ++port)
    {
        SetParam(d, kBaseIn + A, port);
        const Stereo out = Process(d, in);
        EXPECT_NEAR(out.l[63], expect[port], 1e-12) << port;
        EXPECT_EQ(out.r[63], 0.0);
    }
    // Muted: nothing but the dry signal.
    SetParam(d, kParamDry, 0.5);
    SetParam(d, kBaseIn + A, 1);
    SetParam(d, kBaseOper + A, 2);
    Stereo click(Ms(700));
    click.l[0] = 1.0;
    const Stereo muted = Process(d, click);
    EXPECT_NEAR(muted.l[0], 0.5, 1e-12);
    EXPECT_LT(Peak(muted.l, 1, muted.size()), 1e-15);
    // Back to processing: the echo returns, and phase inversion flips it.
    SetParam(d, kBaseOper + A, 0);
    NoModulation(d);
    SetParam(d, kParamPanic, 1.0);
    Settle(d);
    const Stereo normal = Process(d, click);
    SetParam(d, kBasePhase + A, 1);
    SetParam(d, kParamPanic, 1.0);
    Settle(d);
    const Stereo inverted = Process(d, click);
    const size_t at = Ms(500) + 2;
    EXPECT_GT(std::fabs(normal.l[at]), 1e-3);
    EXPECT_NEAR(inverted.l[at], -normal.l[at], 1e-12);
}

TEST(DelayProcess, Meters)
{
    EXPECT_EQ(TapMeter::Position(0.0), 0.0f);
    EXPECT_EQ(TapMeter::Position(1e-10), 0.0f); // below -90 dB
    EXPECT_EQ(TapMeter::Position(1e-7), 0.02f); // -70 dB
    EXPECT_EQ(TapMeter::Position(1e-6), 0.02f); // -60 dB exactly
    EXPECT_NEAR(TapMeter::Position(0.01), 40.0 / 60.0, 1e-6);
    EXPECT_EQ(TapMeter::Position(1.0), 1.0f);
    EXPECT_EQ(TapMeter::Position(4.0), 1.0f);

    // A tone's meter reads its mean square (0.125 for amplitude 0.5, -9.03
    // dB) steadily, and in silence falls by 4.343 dB per 300 ms: 2.9 dB, or
    // 0.048 of the scale, from one 200 ms reading to the next.
    Delay d(nullptr);
    SetParam(d, kBaseOper + A, 1); // the tap's output is its input
    const double sr = 44100.0;
    RunSilence(d, 2.0, sr); // past the fade-in
    Stereo tone(8820);
    const double level = 10 * std::log10(0.125);
    for (int i = 0; i < 10; ++i)
    {
        for (size_t k = 0; k < tone.size(); ++k)
            tone.l[k] = 0.5 * std::sin(6.283185307179586 * 441.0 * static_cast<double>(k) / sr);
        Process(d, tone, 100);
        if (i >= 5)
        {
            EXPECT_NEAR(d.MeterValue(A), (level + 60) / 60, 0.02) << i;
        }
    }
    EXPECT_EQ(d.MeterValue(C), 0.0f); // inactive
    Process(d, Stereo(8820), 64);     // the reading may fall inside this stretch
    float previous = d.MeterValue(A);
    for (int i = 0; i < 3; ++i)
    {
        Process(d, Stereo(8820), 64);
        EXPECT_NEAR(previous - d.MeterValue(A), 2.0 / 3.0 * 4.343 / 60, 0.006) << i;
        previous = d.MeterValue(A);
    }
}

TEST(DelayProcess, SampleRateChange)
{
    Delay d(nullptr);
    NoModulation(d);
    d.SetSampleRate(48000.0);
    d.ResetEngine();
    EXPECT_EQ(d.EngineSampleRate(), 48000.0);
    EXPECT_EQ(d.Line(A).Length(), 98304);
    EXPECT_NEAR(d.Line(A).delaySamples, 24000.0, 1e-9);
    RunSilence(d, 5.0, 48000.0);
    Stereo click(static_cast<size_t>(0.6 * 48000));
    click.l[0] = 1.0;
    const Stereo out = Process(d, click);
    EXPECT_NEAR(static_cast<double>(Onset(out.l, 10, 1e-3)), 24000.0, 3.0);

    // The same rate again changes nothing; a new one starts silent.
    d.ResetEngine();
    EXPECT_EQ(d.Line(A).Length(), 98304);
    d.SetSampleRate(44100.0);
    d.ResetEngine();
    EXPECT_EQ(d.Line(A).Length(), 90112);
    EXPECT_EQ(d.Tap(A).Distance(), d.Line(A).Length() - 1.0);
    // The echoes in the old lines are gone with them.
    const Stereo after = Process(d, Stereo(44100));
    EXPECT_LT(Peak(after.l, 0, after.size()) + Peak(after.r, 0, after.size()), 1e-12);
}

// Rates no host uses still leave a working, finite engine: the meter period
// and the line lengths stay within their integer ranges.
TEST(DelayProcess, AbsurdSampleRatesStayFinite)
{
    for (const double rate : {1.0e30, 3.0e6, 0.001, 1.0})
    {
        Delay d(nullptr);
        d.SetSampleRate(rate);
        d.ResetEngine();
        Stereo in(300);
        in.l[0] = 1.0;
        in.r[7] = -1.0;
        const Stereo out = Process(d, in);
        for (size_t n = 0; n < out.l.size(); ++n)
        {
            ASSERT_TRUE(std::isfinite(out.l[n]) && std::isfinite(out.r[n])) << rate;
        }
    }
}

TEST(DelayProcess, BlockSizeDoesNotChangeTheResult)
{
    Delay one(nullptr);
    Delay parts(nullptr);
    for (Delay* d : {&one, &parts})
    {
        SetParam(*d, kBaseRx + C, A);
        SetParam(*d, kBaseMains + C, 1);
        SetParam(*d, kBaseShape + C, 1);
        SetParam(*d, kBaseTime + C, 1.0);
        SetParam(*d, kBaseFb + C, 0.0);
        Process(*d, Stereo(4000 * 64), 64); // the level glide settles
    }
    Stereo in(20000);
    in.l = Noise(in.size(), 1);
    in.r = Noise(in.size(), 2);
    const Stereo a = Process(one, in, static_cast<int>(in.size()));

    Stereo b(in.size());
    const int sizes[] = {1, 31, 32, 33, 0, 4096, 1, 0, 33};
    size_t pos = 0;
    for (int k = 0; pos < in.size(); ++k)
    {
        const int n = static_cast<int>(std::min<size_t>(sizes[k % 9], in.size() - pos));
        double* ins[2] = {in.l.data() + pos, in.r.data() + pos};
        double* outs[2] = {b.l.data() + pos, b.r.data() + pos};
        parts.ProcessBlock(ins, outs, n);
        pos += static_cast<size_t>(n);
    }
    EXPECT_EQ(a.l, b.l);
    EXPECT_EQ(a.r, b.r);
}

TEST(DelayProcess, BrokenInputAndRunawayFeedbackStayFinite)
{
    Delay d(nullptr);
    SetParam(d, kBaseFb + A, 0.0);
    SetParam(d, kBaseFb + B, 0.0);
    SetParam(d, kBaseTime + A, 20.0);
    SetParam(d, kBaseTime + B, 33.0);
    SetParam(d, kParamSclFbk, 1.25);
    SetParam(d, kBaseLpf + A, 12000.0);
    Stereo in(Ms(1000));
    in.l = Noise(in.size(), 5);
    in.r = Noise(in.size(), 6);
    in.l[10] = std::numeric_limits<double>::quiet_NaN();
    in.r[20] = std::numeric_limits<double>::infinity();
    in.l[30] = -std::numeric_limits<double>::infinity();
    in.r[40] = 1e300;
    double peak = 0.0;
    for (int second = 0; second < 120; ++second)
    {
        const Stereo out = Process(d, in, 4096);
        for (size_t i = 0; i < out.size(); ++i)
        {
            ASSERT_TRUE(std::isfinite(out.l[i]) && std::isfinite(out.r[i])) << second << ":" << i;
        }
        peak = std::max(peak, Peak(out.l, 0, out.size()));
    }
    EXPECT_GT(peak, 100.0); // it did run away
    // Panic silences the lines; with silent input the output dies away.
    SetParam(d, kParamPanic, 1.0);
    const Stereo after = Process(d, Stereo(Ms(200)));
    EXPECT_LT(Peak(after.l, 0, after.size()), 1e-12);
    EXPECT_LT(std::fabs(d.TapOutput(A)), 1e-15);
    // A panic value at or below 0.5 does nothing.
    Process(d, in);
    SetParam(d, kParamPanic, 0.5);
    EXPECT_GT(std::fabs(d.TapOutput(A)), 1e-6);
}

TEST(DelayProcess, LaneByLaneMatchesSampleBySample)
{
    // Every tap running with its own settings: ports, a chain, bypass, mute,
    // inverted phase, panning, feedback, all deterministic LFO shapes.
    auto configure = [](Delay& d)
    {
        for (int t = 0; t < kNumTaps; ++t)
        {
            SetParam(d, kBaseIn + t, 1 + t % 5);
            SetParam(d, kBaseMains + t, t != 3);
            SetParam(d, kBaseShape + t, t % 4);
            SetParam(d, kBaseRate + t, 0.5 + t);
            SetParam(d, kBaseDepth + t, 0.5 * t);
            SetParam(d, kBaseTime + t, 3.0 + 7.0 * t);
            SetParam(d, kBaseFb + t, -0.5 * t);
            SetParam(d, kBasePan + t, t / 7.0);
            SetParam(d, kBasePct + t, 0.2 + 0.1 * t);
        }
        SetParam(d, kBaseIn + 4, 0);
        SetParam(d, kBaseRx + 4, 3); // D (off the mains) feeds E
        SetParam(d, kBaseRx + 6, 0); // G hears A and its port
        SetParam(d, kBaseOper + 1, 1);
        SetParam(d, kBaseOper + 2, 2);
        SetParam(d, kBasePhase + 5, 1);
        SetParam(d, kParamSclFbk, 1.2);
    };
    // Eight lanes run as four pairs; with H silent the last lane runs alone,
    // with E hearing F the lanes pair differently again, and delays shorter
    // than a control period read what the same stretch writes.
    for (int variant = 0; variant < 4; ++variant)
    {
        Delay fast(nullptr);
        Delay pairs(nullptr);
        Delay plain(nullptr);
        pairs.SetLaneKernel(LaneKernel::Pairs);
        plain.SetLaneKernel(LaneKernel::SampleBySample);
        for (Delay* d : {&fast, &pairs, &plain})
        {
            configure(*d);
            if (variant >= 1)
            {
                SetParam(*d, kBaseIn + 7, 0);
            }
            if (variant == 2)
            {
                SetParam(*d, kBaseRx + 4, 5);
            }
            if (variant == 3)
            {
                for (int t = 0; t < kNumTaps; t += 2)
                {
                    SetParam(*d, kBaseTime + t, 0.5);
                }
            }
        }
        Stereo in(30000);
        in.l = Noise(in.size(), 11);
        in.r = Noise(in.size(), 12);
        const Stereo b = Process(plain, in, 100);
        for (Delay* d : {&fast, &pairs})
        {
            const Stereo a = Process(*d, in, 100);
            EXPECT_EQ(a.l, b.l) << variant;
            EXPECT_EQ(a.r, b.r) << variant;
            for (int t = 0; t < kNumTaps; ++t)
            {
                EXPECT_EQ(d->TapOutput(t), plain.TapOutput(t)) << variant << " " << t;
                EXPECT_NEAR(d->MeterValue(t), plain.MeterValue(t), 0.02) << variant << " " << t;
            }
        }
    }
}

// Random settings, routings with chains, and blocks of 0 to 4096 frames: the
// fastest kernel, the paired one and sample by sample give the same bits. At
// 8 kHz the two-second rings wrap around several times.
// A random delay time: short ones (a few slots at 8 kHz) now and then; for
// one group of eight, the few lines near the stretch length, where a stretch
// may or may not take a control step inside.
double Time(unsigned seed, int pick, double u)
{
    if (seed <= 6) return pick < 2 ? 0.5 + 5.0 * u : 1500.0 * u;
    return pick == 0 ? 3.5 + 2.0 * u : 20.0 + 1480.0 * u;
}

TEST(DelayProcess, KernelsAgreeOverRandomSettingsAndBlocks)
{
    constexpr double kLowRate = 8000.0;
    // Seeds past 6 route no tap from another: all eight lanes then run as one
    // group, whose stretches also take control steps inside.
    for (unsigned seed = 1; seed <= 10; ++seed)
    {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        auto pick = [&](int n) { return static_cast<int>(u(gen) * n); };
        auto draw = [&]
        {
            std::vector<std::pair<int, double>> settings;
            for (int t = 0; t < kNumTaps; ++t)
            {
                settings.insert(settings.end(), {{kBaseIn + t, pick(6)},
                                                 {kBaseMains + t, pick(4) != 0},
                                                 {kBaseOper + t, pick(5) == 0 ? pick(3) : 0},
                                                 {kBasePhase + t, pick(2)},
                                                 {kBasePan + t, u(gen)},
                                                 {kBaseGain + t, -20.0 * u(gen)},
                                                 {kBaseTime + t, Time(seed, pick(8), u(gen))},
                                                 {kBasePct + t, u(gen)},
                                                 {kBaseFb + t, -30.0 * u(gen)},
                                                 {kBaseLpf + t, 200.0 + 3800.0 * u(gen)},
                                                 {kBaseHpf + t, 20.0 + 500.0 * u(gen)},
                                                 {kBaseShape + t, pick(4)},
                                                 {kBaseRate + t, 5.0 * u(gen)},
                                                 {kBaseDepth + t, 5.0 * u(gen)},
                                                 {kBaseBpm + t, pick(kNumNoteValues)},
                                                 {kBaseMode + t, pick(4) != 0}});
                if (seed <= 6 && pick(3) == 0)
                    settings.push_back(
                        {kBaseRx + t, pick(kNumTaps)}); // refused if it closes a loop
            }
            settings.push_back({kParamSclFbk, 0.5 + u(gen)});
            settings.push_back({kParamSclDly, 0.5 + u(gen)});
            return settings;
        };
        const auto settings = draw();
        // Changes between blocks, each to all three alike: the kernels keep
        // their lanes from block to block and must notice every one.
        auto changes = draw();
        changes.push_back({kParamPanic, 1.0});
        // Every kernel this processor runs and the eight-lane one built for
        // any processor (the first), the reference (sample by sample) last.
        std::vector<LaneKernel> kernels = {LaneKernel::Octets, LaneKernel::Quads, LaneKernel::Pairs,
                                           LaneKernel::SampleBySample};
        if (LaneEngine::GroupKernelOf(LaneKernel::Octets))
            kernels.insert(kernels.begin(), LaneKernel::Octets);
        const size_t kinds = kernels.size();
        std::vector<TestDelay> delays(kinds);
        std::vector<TestDelay*> all;
        for (size_t k = 0; k < kinds; ++k)
        {
            delays[k].SetLaneKernel(kernels[k]);
            all.push_back(&delays[k]);
        }
        delays[0].SetGroupKernel(kPortableOctoKernel);
        TestDelay& first = delays[0];
        for (TestDelay* d : all)
        {
            d->SetSampleRate(kLowRate);
            d->ResetEngine();
            for (const auto& [idx, value] : settings)
                SetParam(*d, idx, value);
        }
        Stereo in(static_cast<size_t>(5 * kLowRate));
        in.l = Noise(in.size(), 100 + seed);
        in.r = Noise(in.size(), 200 + seed);
        // Broken samples, cleaned alike by every path.
        const double broken[] = {std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(), -1e300, 3e6, -0.0};
        for (double x : broken)
        {
            in.l[static_cast<size_t>(pick(static_cast<int>(in.size())))] = x;
            in.r[static_cast<size_t>(pick(static_cast<int>(in.size())))] = x;
        }
        std::vector<Stereo> out(kinds, Stereo(in.size()));
        size_t pos = 0;
        while (pos < in.size())
        {
            // Host-like blocks of about 64 for one group of eight: a control step
            // then falls a few samples before a block's end.
            const int want = seed > 6 ? 60 + pick(10) : pick(5) == 0 ? pick(4097) : pick(70);
            const int n = static_cast<int>(std::min<size_t>(want, in.size() - pos));
            double* ins[2] = {in.l.data() + pos, in.r.data() + pos};
            const int count = static_cast<int>(changes.size());
            const int change = pick(12) == 0 ? pick(count + 1) : -1;
            const double tempo = pick(30) == 0 ? 60.0 + 120.0 * u(gen) : first.tempo;
            int k = 0;
            for (TestDelay* d : all)
            {
                d->tempo = tempo;
                if (change == count)
                    d->OnMainsChanged(true); // starts clean
                else if (change >= 0)
                    SetParam(*d, changes[change].first, changes[change].second);
                double* outs[2] = {out[k].l.data() + pos, out[k].r.data() + pos};
                d->ProcessBlock(ins, outs, n);
                ++k;
            }
            pos += static_cast<size_t>(n);
        }
        for (size_t k = 0; k + 1 < kinds; ++k)
        {
            const std::string name = k == 0 ? "portable" : LaneEngine::KernelName(kernels[k]);
            EXPECT_EQ(out[k].l, out.back().l) << seed << " " << name;
            EXPECT_EQ(out[k].r, out.back().r) << seed << " " << name;
        }
        EXPECT_GT(Peak(out.back().l, 0, in.size()), 0.01) << seed;
    }
}
