// The lane kernels do not care where in its ring a stretch falls: with the
// rings turned so that each position crosses the ring's end at every offset
// inside the stretch, they give the same bits as where nothing wraps.

#include "plugin/DelayKernel.h"

#include "DelayTestUtil.h"
#include "dsp/DelayLine.h"
#include "plugin/Delay.h"
#include "plugin/LaneEngine.h"

#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
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
        s.filters.highPass = {0.9, -1.8, 0.9, -1.78, 0.81};
        s.filters.lowPass = {0.2, 0.4, 0.2, -0.6, 0.25};
        ForEachField([&](double& v) { v = 0.1 * u(gen); }, s.filters.highState);
        ForEachField([&](double& v) { v = 0.1 * u(gen); }, s.filters.lowState);
        s.heads.old = {0.31, u(gen), u(gen)};
        s.heads.current = {-0.12, u(gen), u(gen)};
        s.heads.fade = -1.0 / 3.0;
        s.output = {1.0, 0.0, sign, 0.8, 0.3, 0.7, 0.6};
        s.feedbackSample = 0.1;
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
    std::vector<std::vector<double>> rings, outs;
    std::vector<double> left, right;
    std::vector<double> state; // everything else the kernel leaves behind
};

// The group kernels this processor runs, and the eight-lane one built for
// any processor.
std::vector<std::pair<std::string, const GroupKernel*>> WideKernels()
{
    std::vector<std::pair<std::string, const GroupKernel*>> wide = {
        {"eight lanes, portable", &kPortableOctoKernel}};
    for (const LaneKernel k : {LaneKernel::Pairs, LaneKernel::Quads, LaneKernel::Octets})
        if (LaneEngine::GroupKernelOf(k))
            wide.push_back({LaneEngine::KernelName(k), LaneEngine::GroupKernelOf(k)});
    return wide;
}

// Runs the lanes (one by one, or as a group in the kernel wide), lane i
// with its ring turned by turns[i], and reads back everything in unturned
// terms.
Result RunLanes(std::vector<Lane> lanes, const std::vector<int>& turns, int count,
                const GroupKernel* wide = nullptr)
{
    for (Lane& lane : lanes)
        lane.Point();
    std::vector<double> left(32, 0.25), right(32, -0.25);
    const int n = static_cast<int>(lanes.size());
    if (wide)
    {
        LaneGroup g{};
        g.laneCount = n;
        for (int i = 0; i < n; ++i)
            g.lanes[i] = &lanes[i].s;
        wide->gather(g);
        wide->run(g, count, left.data(), right.data(), count);
        ScatterGroup(g);
    }
    for (int i = 0; !wide && i < n; ++i)
        RunLane(lanes[i].s, count, left.data(), right.data());
    Result res;
    res.left = left;
    res.right = right;
    for (int k = 0; k < n; ++k)
    {
        const Lane& lane = lanes[k];
        const int r = turns[k];
        std::vector<double> ring;
        for (int i = 0; i < kRing; ++i)
            ring.push_back(lane.ring[(i + r) % kRing]);
        res.rings.push_back(ring);
        res.outs.push_back(lane.out);
        const LaneState& s = lane.s;
        for (const double* p : {s.write, s.inject, s.readOld, s.readNew})
            res.state.push_back(lane.Back(p, r));
        ForEachField([&](double v) { res.state.push_back(v); }, s.heads);
        ForEachField([&](double v) { res.state.push_back(v); }, s.filters);
        res.state.push_back(s.feedbackSample);
    }
    return res;
}

// The lanes with lane i's ring turned by turns[i].
std::vector<Lane> Turned(const std::vector<Lane>& lanes, const std::vector<int>& turns)
{
    std::vector<Lane> t;
    for (size_t i = 0; i < lanes.size(); ++i)
        t.push_back(lanes[i].Turned(turns[i]));
    return t;
}

void ExpectSame(const Result& a, const Result& b, const std::string& what)
{
    ASSERT_EQ(a.rings, b.rings) << what;
    ASSERT_EQ(a.outs, b.outs) << what;
    ASSERT_EQ(a.left, b.left) << what;
    ASSERT_EQ(a.right, b.right) << what;
    ASSERT_EQ(a.state, b.state) << what;
}

} // namespace

TEST(DelayKernel, SingleLanesCrossTheRingEndAtEveryOffset)
{
    // Far reads (the stretch reads nothing it writes) and near ones (it
    // does), for a full stretch and a short one.
    const std::vector<Lane> far = {Lane(1, 80, 75, 40, 30, 1.0), Lane(2, 90, 90, 50, 41, -1.0)};
    const std::vector<Lane> near = {Lane(3, 80, 70, 72, 60, 1.0), Lane(4, 70, 69, 66, 52, -1.0)};
    for (const auto& lanes : {far, near})
    {
        for (const int count : {32, 17})
        {
            const Result plain = RunLanes(lanes, {0, 0}, count);
            for (int r = 1; r < kRing; ++r)
            {
                const std::vector<int> turns = {r, (5 * r + 17) % kRing};
                ExpectSame(RunLanes(Turned(lanes, turns), turns, count), plain,
                           std::to_string(count) + " " + std::to_string(r));
            }
        }
    }
}

// Up to eight lanes four or eight to a register give what the lanes give one by one,
// wherever in their rings the stretch falls: reads far from the writes,
// reads among them, an injection slot behind, on and just ahead of the
// write slot, a stretch of 17 and one of 32.
TEST(DelayKernel, GroupKernelsMatchLaneByLaneAtEveryOffset)
{
    std::vector<Lane> lanes = {Lane(1, 80, 75, 40, 30, 1.0),    Lane(2, 90, 90, 50, 41, -1.0),
                               Lane(5, 10, 10, 100, 95, 1.0),   Lane(6, 60, 30, 20, 5, 1.0),
                               Lane(7, 100, 100, 40, 33, -1.0), Lane(8, 5, 125, 70, 66, 1.0),
                               Lane(9, 44, 44, 3, 120, 1.0),    Lane(10, 64, 0, 32, 31, -1.0)};
    lanes[5].s.output.bypassed = 1.0;
    lanes[6].s.output.processed = 0.0;
    std::vector<Lane> near = lanes;
    near[3] = Lane(3, 80, 70, 72, 60, 1.0); // reads what the stretch writes
    std::vector<Lane> ahead = lanes;
    ahead[1] = Lane(4, 70, 72, 20, 10, 1.0); // injects two slots ahead of the write
    for (const auto& set : {lanes, near, ahead})
    {
        for (const size_t size : {size_t{8}, size_t{5}, size_t{2}})
        {
            const std::vector<Lane> group(set.begin(), set.begin() + size);
            for (const int count : {32, 17})
            {
                const std::vector<int> none(size, 0);
                const Result reference = RunLanes(group, none, count);
                for (int r = 0; r < kRing; ++r)
                {
                    std::vector<int> turns;
                    for (size_t i = 0; i < size; ++i)
                        turns.push_back((r + 37 * static_cast<int>(i)) % kRing);
                    for (const auto& [name, wide] : WideKernels())
                        ExpectSame(RunLanes(Turned(group, turns), turns, count, wide), reference,
                                   name + ", " + std::to_string(size) + " lanes, " +
                                       std::to_string(count) + " samples, turn " +
                                       std::to_string(r));
                }
            }
        }
    }
}

namespace
{

// In every group kernel, a control step places the heads exactly where
// the engine's own step does: over several steps, with distances below one
// sample and beyond the ring, glides that are not numbers, fractions on
// both sides of the allpass limit and write positions at the ring's ends.
void CheckGroupStep(const GroupKernel& kernel)
{
    DelayLine line;
    const int length = line.buffer.length;
    double* base = const_cast<double*>(line.buffer.Base());
    constexpr int kLanes = 7;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double targets[kLanes] = {0.25, 1e-9, 2.0, nan, 0.5, 0.999999, 0.1};
    const double offsets[LaneGroup::kSlots] = {3.7, -40.0, 0.0, 12.0, inf, 0.418, -0.582};
    const int writes[kLanes] = {0, length - 1, 17, 5000, length / 2, 1, length - 33};

    HeadPair engine[kLanes];
    LaneState states[kLanes]{};
    LaneGroup g{};
    g.laneCount = kLanes;
    for (int j = 0; j < kLanes; ++j)
    {
        engine[j].Attach(&line);
        engine[j].target = targets[j];
        engine[j].smoother.z = 0.2 * j;
        LaneState& s = states[j];
        s.base = base;
        s.end = base + length;
        s.write = base + writes[j];
        s.inject = base + (writes[j] + 100) % length;
        s.readOld = base + engine[j].previous->SlotIndex();
        s.readNew = base + engine[j].current->SlotIndex();
        g.lanes[j] = &s;
    }
    kernel.gather(g);
    for (int j = 0; j < kLanes; ++j)
    {
        g.glideA.lane[j] = engine[j].smoother.a;
        g.glideB.lane[j] = engine[j].smoother.b;
        g.glide.lane[j] = engine[j].smoother.z;
        g.target.lane[j] = engine[j].target;
        g.delayNew.lane[j] = engine[j].current->delay;
    }
    for (int step = 0; step < 3; ++step)
    {
        kernel.prepareStep(g, offsets, 0);
        kernel.takeStep(g);
        for (int j = 0; j < kLanes; ++j)
        {
            line.writeIndex = writes[j];
            engine[j].Step(offsets[j]);
            const std::string what = "lane " + std::to_string(j) + ", step " + std::to_string(step);
            EXPECT_EQ(g.glide.lane[j], engine[j].smoother.z) << what;
            EXPECT_EQ(g.delayNew.lane[j], engine[j].current->delay) << what;
            EXPECT_EQ(g.heads.current.coefficient.lane[j], engine[j].current->allpass.coefficient)
                << what;
            EXPECT_EQ(states[j].readNew - base, engine[j].current->SlotIndex()) << what;
            EXPECT_EQ(states[j].readOld - base, engine[j].previous->SlotIndex()) << what;
            EXPECT_EQ(g.heads.fade.lane[j], engine[j].crossfade) << what;
        }
    }
}

} // namespace

TEST(DelayKernel, GroupStepPlacesHeadsAsTheEngineDoes)
{
    for (const auto& [name, wide] : WideKernels())
    {
        SCOPED_TRACE(name);
        CheckGroupStep(*wide);
    }
}
