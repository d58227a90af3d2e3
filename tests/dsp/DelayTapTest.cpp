#include "dsp/DelayTap.h"

#include "dsp/DelayLine.h"
#include "dsp/LfoSine.h"
#include "dsp/TempoInfo.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace
{
constexpr double kPi = 3.141592653589793;

// One line and its tap driven the way the effect drives them: a control step
// every 32 samples, then write with last sample's feedback, then read.
struct Rig
{
    TempoInfo tempo;
    DelayLine line;
    DelayTap tap;
    int countdown = 32;
    double depthScale = 1.0;
    double feedback = 0.0;
    double lastFeedback = 0.0;

    explicit Rig(double rate = 44100.0, double ms = 100.0)
    {
        PairLineAndTap(line, tap, 0, tempo);
        SetRate(rate);
        SetTime(ms);
    }
    void SetRate(double rate)
    {
        line.SetSampleRate(rate);
        tap.SetSampleRate(rate);
    }
    void SetTime(double ms)
    {
        line.timeMs = ms;
        line.ApplyLineTime();
    }
    // Jumps the smoothed distance to its target (skips the glide).
    void Settle()
    {
        tap.heads.smoother.z = tap.heads.target;
        for (int i = 0; i < 64; ++i)
            Tick(0.0);
    }
    double Tick(double x)
    {
        if (--countdown <= 0)
        {
            countdown = 32;
            tap.ControlStep(depthScale, line.samplesPerMs);
        }
        line.Write(x, lastFeedback);
        const double y = tap.Read();
        lastFeedback = feedback * y;
        return y;
    }
};

// Straightforward model of line and tap on a flat array with modulo indexing.
struct Reference
{
    struct Head
    {
        int n = 0;
        double c = 0.0, in = 0.0, out = 0.0;
    };
    std::vector<double> buf;
    int len, w = 0, inj = 0;
    Head a, b;
    Head* cur = &a;
    Head* prev = &b;
    double fade = -1.0 / 3.0, z = 0.0, target = 0.0;
    LfoSine lfo;

    explicit Reference(int length) : buf(length, 0.0), len(length)
    {
        Place(a, len - 1.0);
        Place(b, len - 1.0);
    }
    void Place(Head& h, double d)
    {
        double p = w - d + 1.0;
        if (p < 0) p += len;
        int n = static_cast<int>(p);
        double f = n + 1 - p;
        if (f < 0.418)
        {
            n = (n + 1) % len;
            f += 1.0;
        }
        const double g = f - 0.5;
        h.c = 1.0 / 3.0 - (8.0 / 9.0) * g + (16.0 / 27.0) * g * g - (32.0 / 81.0) * g * g * g +
              (64.0 / 243.0) * g * g * g * g;
        h.n = n;
    }
    void SetInjection(double fraction, double delay)
    {
        inj = w - static_cast<int>((1.0 - fraction) * delay);
        while (inj < 0)
            inj += len;
    }
    void Step(double scale, double depthMs, double spms)
    {
        lfo.Advance(32);
        z = 0.997 * z + (1.0 - 0.997) * target;
        double d = z * len + scale * depthMs * (2.0 * lfo.value - 1.0) * spms;
        if (!(d > 1.0)) d = 1.0;
        std::swap(cur, prev);
        fade = -1.0 / 3.0;
        Place(*cur, d);
    }
    void Write(double x, double f)
    {
        buf[w] = f;
        w = (w + 1) % len;
        buf[inj] += x;
        inj = (inj + 1) % len;
    }
    double ReadHead(Head& h)
    {
        const double s = buf[h.n];
        h.n = (h.n + 1) % len;
        const double y = (s - h.out) * h.c + h.in;
        h.in = s;
        h.out = y;
        return y;
    }
    double Read()
    {
        const double yo = ReadHead(*prev);
        const double yn = ReadHead(*cur);
        fade += 1.0 / 24.0;
        return fade > 0.0 ? yo * (1.0 - fade) + yn * fade : yo;
    }
};

int PeakIndex(const std::vector<double>& v)
{
    int best = 0;
    for (size_t i = 0; i < v.size(); ++i)
        if (std::fabs(v[i]) > std::fabs(v[best])) best = static_cast<int>(i);
    return best;
}
} // namespace

TEST(DelayTap, MatchesAFlatArrayModelSampleForSample)
{
    Rig rig(44100.0, 300.0);
    rig.tap.lfoDepth = 5.0;
    rig.tap.SetLfoRate(3.0f);
    rig.depthScale = 2.0;
    rig.feedback = 0.6;
    Reference ref(rig.line.Length());
    ref.lfo.SetRate(3.0f);
    ref.target = rig.tap.heads.target;

    std::mt19937 gen(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    double refFeedback = 0.0;
    int countdown = 32;
    for (int i = 0; i < 300000; ++i)
    {
        if (i == 100000)
        {
            rig.SetTime(1234.5);
            ref.target = rig.tap.heads.target;
        }
        if (i == 150000)
        {
            rig.line.SetInjectionFraction(0.37);
            ref.SetInjection(0.37, rig.line.delaySamples);
        }
        const double x = noise(gen);
        const double y = rig.Tick(x);
        if (--countdown <= 0)
        {
            countdown = 32;
            ref.Step(2.0, 5.0, 44.1);
        }
        ref.Write(x, refFeedback);
        const double r = ref.Read();
        refFeedback = 0.6 * r;
        ASSERT_EQ(y, r) << "sample " << i;
    }
}

TEST(DelayTap, ImpulseArrivesAfterTheDelay)
{
    for (double rate : {44100.0, 48000.0})
        for (double samples : {100.0, 1000.0, 8191.0, 20000.5, 733.25, 733.6, 733.9})
        {
            Rig rig(rate, samples / (rate * 0.001));
            rig.Settle();
            std::vector<double> out;
            out.push_back(rig.Tick(1.0));
            for (int i = 0; i < 25000; ++i)
                out.push_back(rig.Tick(0.0));
            EXPECT_EQ(PeakIndex(out), static_cast<int>(std::lround(samples)))
                << rate << " " << samples;
            // Group delay of the interpolated response: its centroid. The
            // interpolator's polynomial is within 0.1 sample of the fraction.
            double sum = 0.0, weighted = 0.0;
            for (size_t i = 0; i < out.size(); ++i)
            {
                sum += out[i];
                weighted += out[i] * i;
            }
            EXPECT_NEAR(sum, 1.0, 1e-9);
            EXPECT_NEAR(weighted / sum, samples, 0.1) << rate << " " << samples;
        }
}

TEST(DelayTap, FractionalDelayGivesTheRightPhaseForLowFrequencies)
{
    // Covers fractions on both sides of the head's 0.418 switch-over.
    for (double frac = 0.0; frac < 1.0; frac += 0.05)
    {
        const double d = 500.0 + frac;
        Rig rig(44100.0, d / 44.1);
        rig.Settle();
        const double w = 2.0 * kPi * 200.0 / 44100.0;
        double worst = 0.0;
        for (int i = 0; i < 3000; ++i)
        {
            const double y = rig.Tick(std::sin(w * i));
            if (i > 1000) worst = std::max(worst, std::fabs(y - std::sin(w * (i - d))));
        }
        // The interpolator's polynomial is exact at the middle of its range and
        // about 0.2 sample short at its ends; a whole sample off would be 0.028.
        EXPECT_LT(worst, 0.2 * w) << frac;
    }
}

TEST(DelayTap, TimeChangeGlidesWithoutClicks)
{
    for (double to : {300.0, 98.0})
    {
        Rig rig(44100.0, 100.0);
        rig.tap.lfoDepth = 3.0;
        rig.tap.SetLfoRate(2.0f);
        rig.Settle();
        const double w = 2.0 * kPi * 200.0 / 44100.0;
        const double ownStep = 2.0 * std::sin(w / 2.0);
        double prev = 0.0, largest = 0.0;
        for (int i = 0; i < 60000; ++i)
        {
            if (i == 10000) rig.SetTime(to);
            const double y = rig.Tick(std::sin(w * i));
            if (i > 5000) largest = std::max(largest, std::fabs(y - prev));
            prev = y;
        }
        // The LFO's own pitch wobble is about 4 %; a click from an uncrossed
        // jump of the heads would be many times the sine's step.
        EXPECT_LT(largest, ownStep * 1.1) << to;
    }
}

// A tap whose line does not run puts off placing its heads; placed when the
// line runs again, they must be where placing them at every step had put
// them, whatever the steps did meanwhile (an LFO, a time change gliding).
TEST(DelayTap, HeadsPlacedLateLandWhereStepByStepPlacementPutThem)
{
    Rig eager(48000.0, 40.0), late(48000.0, 40.0);
    for (Rig* r : {&eager, &late})
    {
        r->tap.lfoDepth = 2.5;
        r->tap.SetLfoRate(3.0f);
    }
    const auto play = [&](int from, int to)
    {
        for (int i = from; i < to; ++i)
        {
            const double x = std::sin(0.01 * i) + (i % 97 == 0 ? 1.0 : 0.0);
            ASSERT_EQ(eager.Tick(x), late.Tick(x)) << i;
        }
    };
    play(0, 3000);
    // The lines stop: nothing is written or read, the control steps go on,
    // and the time changes halfway.
    for (int step = 0; step < 41; ++step)
    {
        if (step == 20)
        {
            eager.SetTime(33.3);
            late.SetTime(33.3);
        }
        eager.tap.ControlStep(eager.depthScale, eager.line.samplesPerMs);
        const float v = late.tap.AdvanceLfo();
        late.tap.MoveIdleHeads(v, late.depthScale, late.line.samplesPerMs);
        ASSERT_EQ(eager.tap.Distance(), late.tap.Distance()) << step;
    }
    late.tap.heads.Settle();
    for (const ReadHead* head : {&late.tap.heads.headA, &late.tap.heads.headB})
    {
        const ReadHead& same =
            head == &late.tap.heads.headA ? eager.tap.heads.headA : eager.tap.heads.headB;
        EXPECT_EQ(head->SlotIndex(), same.SlotIndex());
        EXPECT_EQ(head->allpass.coefficient, same.allpass.coefficient);
    }
    EXPECT_EQ(late.tap.heads.current == &late.tap.heads.headA,
              eager.tap.heads.current == &eager.tap.heads.headA);
    play(3000, 6000);
}

TEST(DelayTap, InjectionFractionShortensOnlyTheFirstArrival)
{
    Rig rig(44100.0, 1000.0 / 44.1);
    rig.feedback = 0.5;
    rig.line.SetInjectionFraction(0.25);
    rig.Settle();
    std::vector<double> out;
    out.push_back(rig.Tick(1.0));
    for (int i = 0; i < 2600; ++i)
        out.push_back(rig.Tick(0.0));
    const int first = PeakIndex(out);
    EXPECT_EQ(first, 250);
    std::vector<double> rest(out.begin() + first + 10, out.end());
    const int second = first + 10 + PeakIndex(rest);
    // A fed-back value enters one sample after it was computed.
    EXPECT_EQ(second - first, 1001);

    // Out-of-range fractions mean the whole delay.
    for (double f : std::initializer_list<double>{0.0, 1.0, -0.5, 2.0, NAN})
    {
        rig.line.SetInjectionFraction(f);
        EXPECT_EQ(rig.line.injectionFraction, 1.0);
    }
}

TEST(DelayLine, TimeIsLimitedToTheBufferAndTheFloor)
{
    Rig rig(44100.0, 2000.0);
    EXPECT_EQ(rig.line.Length(), 90112);
    EXPECT_NEAR(rig.line.MaxTimeMs(), 2043.356, 1e-3);
    rig.line.timeScale = 4.0;
    rig.line.ApplyLineTime();
    EXPECT_NEAR(rig.line.effectiveTimeMs, 2043.356 - 20.0, 1e-3);
    EXPECT_DOUBLE_EQ(rig.line.delaySamples, rig.line.effectiveTimeMs * 44.1);
    rig.line.timeScale = 1.0;
    rig.SetTime(0.1);
    EXPECT_EQ(rig.line.effectiveTimeMs, 0.5);
    for (double bad : std::initializer_list<double>{NAN, -1.0, -INFINITY})
    {
        rig.SetTime(bad);
        EXPECT_EQ(rig.line.effectiveTimeMs, 0.5);
    }
    rig.SetTime(INFINITY);
    EXPECT_NEAR(rig.line.effectiveTimeMs, 2023.356, 1e-3);
}

TEST(DelayTap, DistanceStaysWithinTheBufferWhateverTheModulation)
{
    // Shortest delay with the deepest downward swing: clamped to 1 sample.
    Rig rig(44100.0, 0.5);
    rig.tap.SetLfoShape(Lfo::KindTriangle);
    rig.tap.SetLfoRate(0.0f); // the triangle then sits at its bottom
    rig.tap.lfoDepth = 6.0;
    rig.depthScale = 4.0;
    rig.Settle();
    for (int i = 0; i < 1000; ++i)
        EXPECT_TRUE(std::isfinite(rig.Tick(std::sin(i * 0.1))));
    EXPECT_EQ(rig.tap.Distance(), 1.0);

    // Longest delay with the deepest upward swing: at most length - 1.
    Rig far(44100.0, 2000.0);
    far.line.timeScale = 4.0;
    far.line.ApplyLineTime();
    far.tap.SetLfoShape(Lfo::KindRampDown);
    far.tap.SetLfoRate(1.0f);
    far.tap.lfoDepth = 6.0;
    far.depthScale = 4.0;
    far.Settle();
    double longest = 0.0;
    for (int i = 0; i < 200000; ++i)
    {
        far.Tick(1.0);
        longest = std::max(longest, far.tap.Distance());
    }
    EXPECT_EQ(longest, far.line.Length() - 1.0);
}

TEST(DelayTap, UndefinedDistanceReadsAtTheMinimum)
{
    Rig rig(44100.0, 100.0);
    rig.Settle();
    rig.tap.lfoDepth = NAN;
    for (int i = 0; i < 64; ++i)
        rig.Tick(0.5);
    EXPECT_EQ(rig.tap.Distance(), 1.0);

    rig.tap.lfoDepth = 0.0;
    rig.tap.heads.target = NAN;
    for (int i = 0; i < 64; ++i)
        rig.Tick(0.5);
    EXPECT_EQ(rig.tap.Distance(), 1.0);
    // A sane target afterwards is approached again.
    rig.SetTime(100.0);
    for (int i = 0; i < 64; ++i)
        rig.Tick(0.5);
    EXPECT_GT(rig.tap.Distance(), 1.0);

    // An infinite modulation offset is no distance either.
    rig.tap.lfoDepth = INFINITY;
    for (int i = 0; i < 64; ++i)
        rig.Tick(0.5);
    EXPECT_EQ(rig.tap.Distance(), 1.0);

    ReadHead head;
    head.Attach(&rig.line.buffer);
    for (double d : std::initializer_list<double>{NAN, INFINITY, -INFINITY, 0.0, -1e300, 1e300})
    {
        head.SetDistance(d, 17);
        if (!std::isfinite(d))
        {
            EXPECT_EQ(head.delay, 1.0) << d;
        }
        EXPECT_GE(head.delay, 1.0);
        EXPECT_LE(head.delay, rig.line.Length() - 1.0);
        EXPECT_GE(head.SlotIndex(), 0);
        EXPECT_LT(head.SlotIndex(), rig.line.Length());
        EXPECT_TRUE(std::isfinite(head.Read()));
    }
}

TEST(ReadHead, PlacementMatchesThePlainRuleBitForBit)
{
    // Distances on both sides of the 0.418 switch-over, whole samples, and
    // positions that wrap around the ring or land at its last slot.
    std::mt19937 gen(11);
    for (int size : {8192, 90112})
    {
        DelayBuffer buf;
        buf.Allocate(size);
        ReadHead head;
        head.Attach(&buf);
        const int len = buf.length;
        std::uniform_real_distribution<double> ud(1.0, len - 1.0);
        for (int i = 0; i < 200000; ++i)
        {
            double d = ud(gen);
            if (i % 4 == 1) d = std::floor(d) + 0.582;
            if (i % 4 == 2) d = std::nextafter(std::floor(d) + 0.582, i % 8 == 2 ? 0.0 : 1e9);
            if (i % 4 == 3) d = std::floor(d);
            const int w = static_cast<int>(gen() % static_cast<unsigned>(len));
            head.SetDistance(d, w);

            double p = w - d + 1.0;
            if (p < 0) p += len;
            int n = static_cast<int>(p);
            double f = n + 1 - p;
            if (n >= len) n -= len;
            if (f < 0.418)
            {
                n = (n + 1) % len;
                f += 1.0;
            }
            const double g = f - 0.5;
            const double c = 1.0 / 3.0 - (8.0 / 9.0) * g + (16.0 / 27.0) * g * g -
                             (32.0 / 81.0) * g * g * g + (64.0 / 243.0) * g * g * g * g;
            ASSERT_EQ(head.SlotIndex(), n) << d << " " << w;
            ASSERT_EQ(head.allpass.coefficient, c) << d << " " << w;
            ASSERT_EQ(head.cursor.slot, buf.Base() + n);
        }
    }
}

TEST(DelayLine, SampleRateChangeEmptiesTheLineAndSweepsUp)
{
    Rig rig(44100.0, 100.0);
    rig.feedback = 0.9;
    rig.Settle();
    for (int i = 0; i < 20000; ++i)
        rig.Tick(std::sin(i * 0.05));
    rig.SetRate(48000.0);
    EXPECT_EQ(rig.line.Length(), 98304);
    EXPECT_EQ(rig.line.writeIndex, 0);
    for (int k = 0; k < rig.line.Length(); k += 97)
        ASSERT_EQ(rig.line.buffer.At(k), 0.0);

    rig.lastFeedback = 0.0;
    // The heads wait at the far end of the empty buffer until the first step.
    EXPECT_EQ(rig.tap.Distance(), rig.line.Length() - 1.0);
    double last = rig.tap.Distance();
    std::vector<double> distances;
    for (int i = 0; i < 200000; ++i)
    {
        EXPECT_EQ(rig.Tick(0.0), 0.0);
        if (rig.tap.Distance() != last) distances.push_back(last = rig.tap.Distance());
    }
    ASSERT_GT(distances.size(), 100u);
    EXPECT_LT(distances.front(), 0.01 * 4800.0);
    for (size_t i = 1; i < distances.size(); ++i)
        EXPECT_GT(distances[i], distances[i - 1]);
    EXPECT_NEAR(distances.back(), 4800.0, 4800.0 * 1e-3);
}

TEST(DelayTap, ATapNeverReadsALineItFeeds)
{
    Rig rig(44100.0, 10.0);
    rig.tap.AddFedLine(&rig.line);
    AttachTap(&rig.line, rig.tap);
    EXPECT_EQ(rig.tap.line, nullptr);
    EXPECT_TRUE(rig.tap.active);
    for (int i = 0; i < 2000; ++i)
        EXPECT_EQ(rig.Tick(1.0), 0.0);

    rig.tap.ClearFedLines();
    AttachTap(&rig.line, rig.tap);
    EXPECT_EQ(rig.tap.line, &rig.line);
    EXPECT_FALSE(rig.tap.active);
}

TEST(DelayTap, RandomSettingsNeverLeaveTheBuffer)
{
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double odd[] = {NAN, INFINITY, -INFINITY, 0.0, -1.0, 1e308, 1e-308};
    auto pick = [&](double lo, double hi)
    {
        if (u(gen) < 0.1) return odd[gen() % 7];
        return lo + (hi - lo) * u(gen);
    };
    Rig rig(44100.0, 100.0);
    for (int round = 0; round < 200; ++round)
    {
        if (round % 50 == 49) rig.SetRate(pick(8000.0, 192000.0));
        rig.line.mode = static_cast<int>(gen() % 3);
        rig.line.timeMs = pick(0.0, 3000.0);
        rig.line.noteTimeMs = pick(0.0, 20000.0);
        rig.line.timeScale = pick(0.0, 5.0);
        rig.line.ApplyLineTime();
        rig.line.SetInjectionFraction(pick(0.0, 1.0));
        rig.tap.SetLfoShape(static_cast<int>(gen() % 6));
        rig.tap.SetLfoRate(static_cast<float>(pick(0.0, 20.0)));
        rig.tap.SetLfoRateScale(static_cast<float>(pick(0.0, 4.0)));
        rig.tap.lfoDepth = pick(0.0, 6.0);
        rig.depthScale = pick(0.0, 4.0);
        for (int i = 0; i < 500; ++i)
        {
            rig.Tick(u(gen) - 0.5);
            ASSERT_GE(rig.tap.heads.current->SlotIndex(), 0);
            ASSERT_LT(rig.tap.heads.current->SlotIndex(), rig.line.Length());
        }
    }
}
