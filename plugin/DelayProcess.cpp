// Block processing: tempo tracking, output level, the 32-sample control
// steps and the sample loop through the lines in processing order.

#include "platform/CpuFeatures.h"
#include "plugin/Delay.h"
#include "plugin/DelayKernel.h"
#include "plugin/LanePair.h"

#include <cfloat>
#include <cmath>
#include <emmintrin.h>
#include <utility>

namespace
{

// Flush-to-zero and denormals-are-zero for the duration of a block.
class DenormalGuard
{
public:
    DenormalGuard() : mSaved(_mm_getcsr()) { _mm_setcsr(mSaved | 0x8040u); }
    ~DenormalGuard() { _mm_setcsr(mSaved); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    unsigned int mSaved;
};

// Points a cursor at slot, usually still inside the cursor's block.
inline void MoveCursor(DelayBuffer& buffer, DelayBuffer::Cursor& c, double* slot, double* base)
{
    if (c.block != nullptr && slot >= c.block->data && slot < c.end)
    {
        c.slot = slot;
    }
    else
    {
        c = buffer.CursorAt(static_cast<int>(slot - base));
    }
}

} // namespace

// A block's signals between the lanes, one stretch at a time: the input
// ports, each tap's outputs and the main outputs. Which taps are heard and
// which ports are used only change between blocks.
struct Delay::Signals
{
    static constexpr int kMax = kLongestStretch;
    // Whole cache lines: the kernels read and write them a register at a
    // time, and an access split across two lines is much slower.
    alignas(64) double ports[6][kMax];
    alignas(64) double outs[kNumTaps][kMax];
    alignas(64) double left[kMax];
    alignas(64) double right[kMax];
    // Taps that a lane hears but that do not run: their last output holds.
    int held[kNumTaps];
    int heldCount;
    bool sums; // a lane hears one of the ports made of both inputs
    // Every group runs four lanes: the ports and the main outputs go four
    // samples to a register as well. Not after the paired kernel: reading
    // its narrow stores of the main-output shares a register at a time made
    // the 32-bit DLL twice as slow.
    bool wide;
};

inline bool Delay::RunsFourLane(const LaneGroup& g) const
{
    // One or two lanes gain nothing from the wider registers.
    return mKernel == LaneKernel::Quads && g.laneCount > 2;
}

// Everything the sample loop needs about one running line, gathered with the
// lanes so that the loop itself has no decisions to make about settings.
struct Delay::Lane
{
    DelayLine* line;
    DelayTap* tap;
    TapMeter* meter;
    int index;
    int port;
    int source;
    OutputStage<double> output;
};

struct Delay::BlockLanes
{
    Lane lanes[kNumTaps];
    // Lane by lane, each lane's state stays in its LaneState, and the heads
    // and filters of a four-lane group in the group's slots.
    LaneState states[kNumTaps];
    LaneGroup groups[kNumTaps];
    bool grouped[kNumTaps]; // the lane is a four-lane group's member
    bool running[kNumTaps]; // by tap: its line runs
    // The taps whose LFO is a sine, which advance four at a time.
    LfoSine* sines[kNumTaps];
    int sineTaps[kNumTaps];
    int sineCount;
    Signals signals;
    int groupCount;
    bool laneByLane;
    bool allFourLane; // every group runs four lanes
};

Delay::BlockLanes* Delay::NewBlockLanes()
{
    return new BlockLanes();
}

void Delay::BlockLanesDelete::operator()(BlockLanes* lanes) const
{
    delete lanes;
}

namespace
{

// Delay-line memory as one flat ring, when the line's blocks lie end to end.
bool FlatRing(const DelayBuffer& buffer, double*& base, double*& end)
{
    if (!buffer.Contiguous())
    {
        return false;
    }
    base = const_cast<double*>(buffer.Base());
    end = base + buffer.length;
    return true;
}

} // namespace

LaneKernel Delay::FastestLaneKernel()
{
    static const LaneKernel fastest = CpuRunsAvx2() ? LaneKernel::Quads : LaneKernel::Pairs;
    return fastest;
}

const char* Delay::LaneKernelName(LaneKernel kernel)
{
    switch (kernel)
    {
    case LaneKernel::SampleBySample:
        return "sample by sample";
    case LaneKernel::Pairs:
        return "two lanes per SSE2 register";
    case LaneKernel::Quads:
        return "four lanes per AVX2 register";
    }
    return "";
}

void Delay::SetLaneKernel(LaneKernel kernel)
{
    mLanesCurrent = false;
    if (kernel == LaneKernel::Quads && FastestLaneKernel() != LaneKernel::Quads)
    {
        kernel = LaneKernel::Pairs;
    }
    mKernel = kernel;
}

void Delay::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
    if (inputs == nullptr || outputs == nullptr || NInChannels() < 2 || NOutChannels() < 2)
    {
        IPlugBase::ProcessBlock(inputs, outputs, nFrames);
        return;
    }
    if (nFrames < 0)
    {
        nFrames = 0;
    }

    // One question to the host per block; a host that tells nothing plays
    // at 120 BPM in 4/4.
    const HostBlockTime time = HostTimeForBlock();
    int numerator = time.numerator;
    int denominator = time.denominator;
    if (numerator < 1 || denominator < 1)
    {
        numerator = 4;
        denominator = 4;
    }
    double tempo = time.tempo;
    if (!(tempo > 0.0))
    {
        tempo = 120.0;
    }
    if (mTempo.UpdateTempo(numerator, denominator, tempo))
    {
        ApplyTempoToLines();
    }
    if (mStartPending)
    {
        // After the tempo: a tempo-locked line's target may just have moved.
        mStartPending = false;
        PlaceTapsAtTargets();
    }

    if (mFirstBlock)
    {
        mFirstBlock = false;
        SetReadout("");
    }

    // The level glides once per block; its two steps multiplied give the
    // block's gain, applied to the inputs and again to the mix. The step
    // follows the block's length, so the glide takes the same time at every
    // block size.
    // The distance left shrinks by the step; within a millionth of a
    // millionth it is gone, so the glide lands on the level exactly, at
    // every block size.
    const double a = std::exp(mLevelGlidePerFrame * nFrames);
    const double level = mOutputLevel;
    auto glide = [a, level](double z)
    {
        const double y = level + a * (z - level);
        return std::fabs(y - level) <= 1e-12 * std::fabs(level) ? level : y;
    };
    const double y1 = glide(mLevelSmoother.z);
    const double y2 = glide(y1);
    mLevelSmoother.z = y2;
    const double gain = y1 * y2;

    if (nFrames > 0)
    {
        DenormalGuard denormals;
        BlockLanes& kept = *mBlockLanes;
        if (!mLanesCurrent)
        {
            GatherLanes(kept);
        }
        Lane* const lanes = kept.lanes;
        LaneState* const states = kept.states;
        LaneGroup* const groups = kept.groups;
        Signals& signals = kept.signals;
        const int groupCount = kept.groupCount;
        const bool laneByLane = kept.laneByLane;
        const bool allFourLane = kept.allFourLane;
        int n = 0;
        while (n < nFrames)
        {
            if (mLfoCountdown <= 1)
            {
                // The control step falls on this sample.
                mLfoCountdown = DelayTap::kControlInterval + 1;
                if (laneByLane)
                {
                    StepLanes(kept, 0);
                }
                else
                {
                    ControlStep();
                }
            }
            int run = mLfoCountdown - 1;
            if (run > nFrames - n)
            {
                run = nFrames - n;
            }
            const int after = nFrames - n - run;
            if (allFourLane && after > 0 && after <= kLongestStretch - DelayTap::kControlInterval)
            {
                // The next step falls within the block's last few samples:
                // rather than a stretch of those few alone, one stretch takes
                // the step inside when the groups allow it.
                StepLanes(kept, run);
                bool across = true;
                for (int i = 0; i < groupCount; ++i)
                {
                    across = across && RunsAcrossStep(groups[i], run, run + after);
                }
                const int count = across ? run + after : run;
                RunLanes(lanes, signals, groups, groupCount, gain, inputs[0] + n, inputs[1] + n,
                         outputs[0] + n, outputs[1] + n, count, run);
                if (!across)
                {
                    for (int i = 0; i < groupCount; ++i)
                    {
                        TakeGroupStep(groups[i]);
                    }
                }
                mLfoCountdown = DelayTap::kControlInterval + 1 - (count - run);
                n += count;
                continue;
            }
            if (laneByLane)
            {
                RunLanes(lanes, signals, groups, groupCount, gain, inputs[0] + n, inputs[1] + n,
                         outputs[0] + n, outputs[1] + n, run, run);
            }
            else
            {
                RunSamples(lanes, gain, inputs[0] + n, inputs[1] + n, outputs[0] + n,
                           outputs[1] + n, run);
            }
            mLfoCountdown -= run;
            n += run;
        }
        for (int i = 0; i < groupCount; ++i)
        {
            if (RunsFourLane(groups[i]))
            {
                StoreGroup(lanes, states, groups[i]);
                groups[i].steps = 0;
            }
        }
        if (laneByLane)
        {
            for (int k = 0; k < mOrderCount; ++k)
            {
                StoreLane(lanes[k], states[k]);
            }
        }
        // The engine's records and the lanes now agree; the lanes serve the
        // next block unless something changes the engine first.
        mLanesCurrent = true;
    }

    mMeterCountdown -= nFrames;
    if (mMeterCountdown <= 0)
    {
        mMeterCountdown = mMeterPeriod;
        UpdateMeters();
    }
}

void Delay::GatherLanes(BlockLanes& b)
{
    Lane* const lanes = b.lanes;
    LaneState* const states = b.states;
    LaneGroup* const groups = b.groups;
    b.laneByLane = PrepareLanes(lanes);
    b.groupCount = 0;
    b.sineCount = 0;
    for (int i = 0; i < kNumTaps; ++i)
    {
        b.grouped[i] = false;
        b.running[i] = false;
        if (LfoSine* sine = mTaps[i].lfo.Sine())
        {
            b.sines[b.sineCount] = sine;
            b.sineTaps[b.sineCount++] = i;
        }
    }
    for (int k = 0; k < mOrderCount; ++k)
    {
        b.running[lanes[k].index] = true;
    }
    if (b.laneByLane)
    {
        b.groupCount = FormGroups(lanes, states, groups);
        for (int i = 0; i < b.groupCount; ++i)
        {
            for (int j = 0; RunsFourLane(groups[i]) && j < groups[i].laneCount; ++j)
            {
                b.grouped[groups[i].lanes[j] - states] = true;
            }
        }
        for (int k = 0; k < mOrderCount; ++k)
        {
            LoadLane(lanes[k], states[k]);
        }
        ConnectLanes(b);
    }
    b.allFourLane = b.laneByLane && b.groupCount > 0;
    for (int i = 0; i < b.groupCount; ++i)
    {
        if (RunsFourLane(groups[i]))
        {
            LoadGroup(lanes, states, groups[i]);
        }
        b.allFourLane = b.allFourLane && RunsFourLane(groups[i]);
    }
    b.signals.wide = b.allFourLane;
}

bool Delay::PrepareLanes(Lane* lanes) const
{
    bool laneByLane = mKernel != LaneKernel::SampleBySample;
    int position[kNumTaps + 1];
    for (int i = 0; i <= kNumTaps; ++i)
    {
        position[i] = -1;
    }
    for (int k = 0; k < mOrderCount; ++k)
    {
        position[mOrder[k]->index] = k;
    }
    for (int k = 0; k < mOrderCount; ++k)
    {
        Lane& lane = lanes[k];
        DelayLine* line = mOrder[k];
        const int i = line->index;
        DelayTap* tap = const_cast<DelayTap*>(&mTaps[i]);
        lane.line = line;
        lane.tap = tap;
        lane.meter = const_cast<TapMeter*>(&mMeters[i]);
        lane.index = i;
        lane.port = line->inputPort >= 0 && line->inputPort < 6 ? line->inputPort : 0;
        lane.source = line->sourceTap >= 0 && line->sourceTap < kNumTaps ? line->sourceTap : kNoTap;
        const bool processed = tap->operation == DelayTap::Processed;
        // The feedback gain is grouped as gain x FbScale x Scl_Fbk x sum,
        // left to right.
        lane.output = {processed ? 1.0 : 0.0,
                       tap->operation == DelayTap::Bypassed ? 1.0 : 0.0,
                       processed ? tap->phaseSign : 1.0,
                       tap->gain,
                       tap->mains ? 1.0 - tap->pan : 0.0,
                       tap->mains ? tap->pan : 0.0,
                       line->feedbackGain * mFeedbackScale * mFeedbackScaleFactor};

        // Lane by lane over a stretch of samples is exact only when every
        // source a lane hears runs before it (or not at all), and when the
        // line's memory can be walked as one ring.
        double* base = nullptr;
        double* end = nullptr;
        if (position[lane.source] >= k || !FlatRing(line->buffer, base, end) || tap->line != line ||
            tap->heads.headA.buffer != &line->buffer || tap->heads.headB.buffer != &line->buffer)
        {
            laneByLane = false;
        }
    }
    return laneByLane;
}

void Delay::RunSamples(const Lane* lanes, double gain, const double* in0, const double* in1,
                       double* out0, double* out1, int count)
{
    const int laneCount = mOrderCount;
    const double dry = mDryLevel;
    const double wet = mWetLevel;
    double* tapOut = mTapOutputs;
    double* feedback = mFeedbackValues;
    // Each meter looks at one sample of the stretch, as in the lane kernels.
    int meterAt[kNumTaps];
    double metered[kNumTaps] = {};
    for (int k = 0; k < laneCount; ++k)
    {
        meterAt[k] = count > 0 ? lanes[k].meter->Pick(count) : 0;
    }
    for (int n = 0; n < count; ++n)
    {
        const double L = CleanInput(in0[n]) * gain;
        const double R = CleanInput(in1[n]) * gain;
        const double ports[6] = {
            0.0, L, R, (L + R) * 0.5, (L + R) * kSqrtHalf, (L - R) * kSqrtHalf};
        double left = 0.0;
        double right = 0.0;
        for (int k = 0; k < laneCount; ++k)
        {
            const Lane& lane = lanes[k];
            const double x = LineInput(ports[lane.port], tapOut[lane.source]);
            lane.line->Write(x, feedback[lane.index]);
            const auto r = lane.output.Run(x, lane.tap->Filter(lane.tap->Read()));
            tapOut[lane.index] = r.out;
            if (n == meterAt[k])
            {
                metered[k] = r.out;
            }
            left += lane.output.toLeft * r.mains;
            right += lane.output.toRight * r.mains;
            feedback[lane.index] = r.feedback;
        }
        out0[n] = (L * dry + left * wet) * gain;
        out1[n] = (R * dry + right * wet) * gain;
    }
    for (int k = 0; k < laneCount && count > 0; ++k)
    {
        lanes[k].meter->Take(metered[k], count);
    }
}

void Delay::ControlStep()
{
    // All the LFOs first, then all the heads: each tap's step is a long
    // chain of dependent arithmetic, and the processor overlaps the taps'
    // chains better when they come in short, independent pieces.
    const double depthScale = mLfoDepthScale;
    float values[kNumTaps];
    for (int i = 0; i < kNumTaps; ++i)
    {
        values[i] = mTaps[i].AdvanceLfo();
    }
    for (int i = 0; i < kNumTaps; ++i)
    {
        mTaps[i].MoveHeads(values[i], depthScale, mSamplesPerMs);
    }
}

void Delay::StepLanes(BlockLanes& b, int ahead)
{
    // ControlStep for a block that runs lane by lane, where the lanes and
    // groups hold the read heads: each running tap's step goes straight into
    // them. The engine's heads take the distances, coefficients and swaps at
    // once for a paired or single lane, at the block's end for a four-lane
    // group (StoreGroup); their positions and allpass states follow at the
    // block's end. Taps without a running line step as usual.
    const double depthScale = mLfoDepthScale;
    const Lane* const lanes = b.lanes;
    LaneState* const states = b.states;
    LaneGroup* const groups = b.groups;
    const int groupCount = b.groupCount;
    // The sine oscillators (the usual shape) advance four at a time, the
    // others one by one.
    float values[kNumTaps];
    for (int i = 0, k = 0; i < kNumTaps; ++i)
    {
        if (k < b.sineCount && b.sineTaps[k] == i)
        {
            ++k;
        }
        else
        {
            values[i] = mTaps[i].AdvanceLfo();
        }
    }
    LfoSine::AdvanceEach(b.sines, b.sineCount, DelayTap::kControlInterval);
    for (int k = 0; k < b.sineCount; ++k)
    {
        values[b.sineTaps[k]] = b.sines[k]->value;
    }
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (!b.running[i])
        {
            mTaps[i].MoveHeads(values[i], depthScale, mSamplesPerMs);
        }
    }
    for (int i = 0; i < groupCount; ++i)
    {
        LaneGroup& g = groups[i];
        if (RunsFourLane(g))
        {
            double offset[LaneGroup::kSlots] = {};
            for (int j = 0; j < g.laneCount; ++j)
            {
                const Lane& lane = lanes[g.lanes[j] - states];
                offset[j] =
                    lane.tap->ModulationOffset(values[lane.index], depthScale, mSamplesPerMs);
            }
            PrepareGroupStep(g, offset, ahead);
            if (ahead == 0)
            {
                TakeGroupStep(g);
            }
            continue;
        }
        for (int j = 0; j < g.laneCount; ++j)
        {
            LaneState& s = *g.lanes[j];
            const Lane& lane = lanes[&s - states];
            const ReadHead::Placement p = lane.tap->MoveHeadsHeld(
                values[lane.index], depthScale, mSamplesPerMs, static_cast<int>(s.write - s.base));
            // The idle head, with its allpass state, becomes the current one.
            s.readOld = s.readNew;
            s.readNew = s.base + p.slot;
            std::swap(s.heads.old, s.heads.current);
            s.heads.current.coefficient = p.coefficient;
            s.heads.fade = HeadPair::kFadeStart;
        }
    }
}

void Delay::LoadGroup(const Lane* lanes, const LaneState* states, LaneGroup& g) const
{
    // The lanes hold the heads and filters as the engine has them (LoadLane);
    // the group adds each head pair's glide and placed distances.
    GatherGroup(g);
    for (int j = 0; j < g.laneCount; ++j)
    {
        const HeadPair& heads = lanes[g.lanes[j] - states].tap->heads;
        g.glideA.lane[j] = heads.smoother.a;
        g.glideB.lane[j] = heads.smoother.b;
        g.glide.lane[j] = heads.smoother.z;
        g.target.lane[j] = heads.target;
        g.delayOld.lane[j] = heads.previous->delay;
        g.delayNew.lane[j] = heads.current->delay;
    }
    g.steps = 0;
}

void Delay::StoreGroup(const Lane* lanes, const LaneState* states, const LaneGroup& g)
{
    // The lanes take the group's heads and filters (StoreLane then hands them
    // to the engine), the engine's head pairs what the group's control steps
    // did to their glide, order and distances.
    ScatterGroup(g);
    for (int j = 0; j < g.laneCount; ++j)
    {
        HeadPair& heads = lanes[g.lanes[j] - states].tap->heads;
        heads.smoother.z = g.glide.lane[j];
        if (g.steps % 2 != 0)
        {
            std::swap(heads.current, heads.previous);
        }
        heads.previous->delay = g.delayOld.lane[j];
        heads.current->delay = g.delayNew.lane[j];
    }
}

void Delay::UpdateMeters()
{
    for (int i = 0; i < kNumTaps; ++i)
    {
        const float v = mTaps[i].active ? TapMeter::Position(mMeters[i].state) : 0.0f;
        mMeterValues[i].store(v, std::memory_order_relaxed);
    }
    PublishEchoMap();
}

int Delay::FormGroups(const Lane* lanes, LaneState* states, LaneGroup* groups) const
{
    // Neighbours in the order run side by side until one hears another
    // member of its group (sources always run earlier, so nothing else can
    // be missing).
    const int widest = mKernel == LaneKernel::Quads ? LaneGroup::kSlots : 2;
    int count = 0;
    int k = 0;
    while (k < mOrderCount)
    {
        LaneGroup& g = groups[count++];
        g.laneCount = 0;
        bool member[kNumTaps + 1] = {};
        while (k < mOrderCount && g.laneCount < widest && !member[lanes[k].source])
        {
            member[lanes[k].index] = true;
            g.lanes[g.laneCount++] = &states[k++];
        }
    }
    return count;
}

void Delay::ConnectLanes(BlockLanes& b) const
{
    static const double kSilence[Signals::kMax] = {};
    const Lane* const lanes = b.lanes;
    LaneState* const states = b.states;
    Signals& sig = b.signals;
    bool heard[kNumTaps + 1] = {};
    sig.sums = false;
    for (int k = 0; k < mOrderCount; ++k)
    {
        heard[lanes[k].source] = true;
        sig.sums = sig.sums || lanes[k].port >= 3;
    }
    sig.heldCount = 0;
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (heard[i] && !b.running[i])
        {
            sig.held[sig.heldCount++] = i;
        }
    }
    // Port 0 and "no tap" are silence.
    const double* portData[6] = {kSilence,     sig.ports[1], sig.ports[2],
                                 sig.ports[3], sig.ports[4], sig.ports[5]};
    for (int k = 0; k < mOrderCount; ++k)
    {
        states[k].port = portData[lanes[k].port];
        states[k].source = lanes[k].source == kNoTap ? kSilence : sig.outs[lanes[k].source];
        states[k].out = sig.outs[lanes[k].index];
    }
}

void Delay::RunLanes(const Lane* lanes, Signals& sig, LaneGroup* groups, int groupCount,
                     double gain, const double* in0, const double* in1, double* out0, double* out1,
                     int count, int stepAt)
{
    // Everything between two control steps (up to 32 samples), one lane or
    // one pair or group of lanes at a time, each lane's state held in locals.
    // The arithmetic and its order per sample are those of RunSamples.
    double* const ports[6] = {sig.ports[0], sig.ports[1], sig.ports[2],
                              sig.ports[3], sig.ports[4], sig.ports[5]};
    double* const left = sig.left;
    double* const right = sig.right;
    // The input ports, as many samples to a register as the block allows.
    int n = sig.wide ? FeedPortsQuad(in0, in1, gain, sig.sums, ports, left, right, count) : 0;
    n = FeedPorts<LanePair>(in0, in1, gain, sig.sums, ports, left, right, n, count);
    FeedPorts<double>(in0, in1, gain, sig.sums, ports, left, right, n, count);
    for (int h = 0; h < sig.heldCount; ++h)
    {
        const int i = sig.held[h];
        for (int n = 0; n < count; ++n)
        {
            sig.outs[i][n] = mTapOutputs[i];
        }
    }

    for (int i = 0; i < groupCount; ++i)
    {
        LaneGroup& g = groups[i];
        if (RunsFourLane(g))
        {
            RunLaneQuads(g, count, left, right, stepAt);
        }
        else if (g.laneCount == 2)
        {
            RunLanePair(*g.lanes[0], *g.lanes[1], count, left, right);
        }
        else
        {
            RunLane(*g.lanes[0], count, left, right);
        }
    }
    for (int k2 = 0; k2 < mOrderCount; ++k2)
    {
        const Lane& lane = lanes[k2];
        const double* out = sig.outs[lane.index];
        mTapOutputs[lane.index] = out[count - 1];
        lane.meter->Run(out, count);
    }

    const double dry = mDryLevel;
    const double wet = mWetLevel;
    n = sig.wide ? MixMainsQuad(ports[1], ports[2], left, right, dry, wet, gain, out0, out1, count)
                 : 0;
    n = MixMains<LanePair>(ports[1], ports[2], left, right, dry, wet, gain, out0, out1, n, count);
    MixMains<double>(ports[1], ports[2], left, right, dry, wet, gain, out0, out1, n, count);
}

void Delay::LoadLane(const Lane& lane, LaneState& s)
{
    const DelayLine& line = *lane.line;
    const DelayTap& tap = *lane.tap;
    s.base = const_cast<double*>(line.buffer.Base());
    s.end = s.base + line.buffer.length;
    s.write = line.writeCursor.slot;
    s.inject = line.injectCursor.slot;
    s.readOld = tap.heads.previous->cursor.slot;
    s.readNew = tap.heads.current->cursor.slot;
    s.heads = {tap.heads.previous->allpass, tap.heads.current->allpass, tap.heads.crossfade};
    s.filters = {tap.highPass.coefficients, tap.highPass.state, tap.lowPass.coefficients,
                 tap.lowPass.state};
    s.output = lane.output;
    s.feedbackSample = mFeedbackValues[lane.index];
}

void Delay::StoreLane(const Lane& lane, const LaneState& s)
{
    DelayLine& line = *lane.line;
    DelayTap& tap = *lane.tap;
    HeadPair& heads = tap.heads;
    line.writeIndex = static_cast<int>(s.write - s.base);
    MoveCursor(line.buffer, heads.previous->cursor, s.readOld, s.base);
    MoveCursor(line.buffer, heads.current->cursor, s.readNew, s.base);
    MoveCursor(line.buffer, line.writeCursor, s.write, s.base);
    MoveCursor(line.buffer, line.injectCursor, s.inject, s.base);
    mFeedbackValues[lane.index] = s.feedbackSample;
    heads.previous->allpass = s.heads.old;
    heads.current->allpass = s.heads.current;
    heads.crossfade = s.heads.fade;
    tap.highPass.state = s.filters.highState;
    tap.lowPass.state = s.filters.lowState;
}
