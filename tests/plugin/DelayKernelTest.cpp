// The paired lane kernel does not care where in its ring a stretch falls:
// with the ring turned so that each position crosses the ring's end at every
// offset inside the stretch, it gives the same bits as where nothing wraps.

#include "plugin/DelayKernel.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace
{

constexpr int kRing = 128;

// One lane's memory and signals, with its positions as offsets in the ring.
struct Lane
{
    std::vector<double> ring;
    std::vector<double> port, source, out;
    int write, inject, readOld, readNew;
    LaneState s{};

    Lane(unsigned seed, int writeAt, int injectAt, int oldAt, int newAt, double sign)
        : ring(kRing), port(32), source(32), out(32), write(writeAt), inject(injectAt),
          readOld(oldAt), readNew(newAt)
    {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (double& v : ring)
            v = u(gen);
        for (int n = 0; n < 32; ++n)
        {
            port[n] = u(gen);
            source[n] = 0.5 * u(gen);
        }
        const double hp[5] = {0.9, -1.8, 0.9, -1.78, 0.81};
        const double lp[5] = {0.2, 0.4, 0.2, -0.6, 0.25};
        for (int i = 0; i < 5; ++i)
        {
            s.hp[i] = hp[i];
            s.lp[i] = lp[i];
        }
        for (int i = 0; i < 4; ++i)
        {
            s.hpState[i] = 0.1 * u(gen);
            s.lpState[i] = 0.1 * u(gen);
        }
        s.coefOld = 0.31;
        s.coefNew = -0.12;
        s.inOld = u(gen);
        s.outOld = u(gen);
        s.inNew = u(gen);
        s.outNew = u(gen);
        s.fade = -1.0 / 3.0;
        s.processed = 1.0;
        s.bypassed = 0.0;
        s.sign = sign;
        s.gain = 0.8;
        s.toLeft = 0.3;
        s.toRight = 0.7;
        s.loop = 0.6;
        s.feedback = 0.1;
    }

    // The same lane with its ring turned by r slots.
    Lane Turned(int r) const
    {
        Lane t = *this;
        for (int i = 0; i < kRing; ++i)
            t.ring[(i + r) % kRing] = ring[i];
        t.write = (write + r) % kRing;
        t.inject = (inject + r) % kRing;
        t.readOld = (readOld + r) % kRing;
        t.readNew = (readNew + r) % kRing;
        return t;
    }

    void Point()
    {
        s.base = ring.data();
        s.end = ring.data() + kRing;
        s.write = s.base + write;
        s.inject = s.base + inject;
        s.readOld = s.base + readOld;
        s.readNew = s.base + readNew;
        s.port = port.data();
        s.source = source.data();
        s.out = out.data();
    }

    // Where a position ended, in the unturned ring.
    int Back(const double* p, int r) const
    {
        return static_cast<int>(((p - ring.data()) - r + kRing) % kRing);
    }
};

struct Result
{
    std::vector<double> ringA, ringB, outA, outB, left, right;
    std::vector<double> state; // everything else the kernel leaves behind
};

Result RunPair(Lane a, Lane b, int ra, int rb, int count)
{
    a.Point();
    b.Point();
    std::vector<double> left(32, 0.25), right(32, -0.25);
    RunLanePair(a.s, b.s, count, left.data(), right.data());
    Result res;
    for (int i = 0; i < kRing; ++i)
    {
        res.ringA.push_back(a.ring[(i + ra) % kRing]);
        res.ringB.push_back(b.ring[(i + rb) % kRing]);
    }
    res.outA = a.out;
    res.outB = b.out;
    res.left = left;
    res.right = right;
    for (const auto& [lane, r] : {std::pair<Lane*, int>{&a, ra}, {&b, rb}})
    {
        const LaneState& s = lane->s;
        for (const double* p : {s.write, s.inject, s.readOld, s.readNew})
            res.state.push_back(lane->Back(p, r));
        for (double v : {s.inOld, s.outOld, s.inNew, s.outNew, s.fade, s.feedback})
            res.state.push_back(v);
        for (int i = 0; i < 4; ++i)
        {
            res.state.push_back(s.hpState[i]);
            res.state.push_back(s.lpState[i]);
        }
    }
    return res;
}

} // namespace

TEST(DelayKernel, PairedLanesCrossTheRingEndAtEveryOffset)
{
    // Far reads (the stretch reads nothing it writes) and near ones (it
    // does), for a full stretch and a short one.
    const Lane farA(1, 80, 75, 40, 30, 1.0), farB(2, 90, 90, 50, 41, -1.0);
    const Lane nearA(3, 80, 70, 72, 60, 1.0), nearB(4, 70, 69, 66, 52, -1.0);
    for (const auto& [a, b] : {std::pair<const Lane&, const Lane&>{farA, farB}, {nearA, nearB}})
    {
        for (const int count : {32, 17})
        {
            const Result plain = RunPair(a, b, 0, 0, count);
            for (int r = 1; r < kRing; ++r)
            {
                const int rb = (5 * r + 17) % kRing;
                const Result turned = RunPair(a.Turned(r), b.Turned(rb), r, rb, count);
                ASSERT_EQ(turned.ringA, plain.ringA) << count << " " << r;
                ASSERT_EQ(turned.ringB, plain.ringB) << count << " " << r;
                ASSERT_EQ(turned.outA, plain.outA) << count << " " << r;
                ASSERT_EQ(turned.outB, plain.outB) << count << " " << r;
                ASSERT_EQ(turned.left, plain.left) << count << " " << r;
                ASSERT_EQ(turned.right, plain.right) << count << " " << r;
                ASSERT_EQ(turned.state, plain.state) << count << " " << r;
            }
        }
    }
}
