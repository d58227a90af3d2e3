#include "plugin/LaneEngine.h"

#include "dsp/LfoSine.h"
#include "platform/CpuFeatures.h"
#include "plugin/Delay.h"
#include "plugin/LanePair.h"

#include <utility>

namespace
{

// Points a cursor at slot, usually still inside the cursor's block.
void MoveCursor(DelayBuffer& buffer, DelayBuffer::Cursor& c, double* slot, double* base)
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

LaneEngine::LaneEngine(Delay& delay) : mDelay(delay), mKernel(LaneKernel::Pairs)
{
    SetKernel(FastestKernel());
}

LaneKernel LaneEngine::FastestKernel()
{
    // Eight lanes to an AVX-512 register run only in a build that asks for
    // them: with eight taps they were measured barely faster than four lanes
    // to an AVX2 register through the module, and slower in process.
#ifdef ZELBOR_WIDEST_LANES
    if (GroupKernelOf(LaneKernel::Octets)) return LaneKernel::Octets;
#endif
    static const LaneKernel fastest = CpuRunsAvx2() ? LaneKernel::Quads : LaneKernel::Pairs;
    return fastest;
}

const char* LaneEngine::KernelName(LaneKernel kernel)
{
    switch (kernel)
    {
    case LaneKernel::SampleBySample:
        return "sample by sample";
    case LaneKernel::Pairs:
        return "two lanes per SSE2 register";
    case LaneKernel::Quads:
        return "four lanes per AVX2 register";
    case LaneKernel::Octets:
        return "eight lanes per AVX-512 register";
    }
    return "";
}

const GroupKernel* LaneEngine::GroupKernelOf(LaneKernel kernel)
{
    static const bool avx2 = CpuRunsAvx2();
    static const bool avx512 = CpuRunsAvx512();
    switch (kernel)
    {
    case LaneKernel::SampleBySample:
        return nullptr;
    case LaneKernel::Pairs:
        return &kGroupKernelSse2;
    case LaneKernel::Quads:
        return avx2 ? &kGroupKernelAvx2 : nullptr;
    case LaneKernel::Octets:
        return avx512 ? &kGroupKernelAvx512 : nullptr;
    }
    return nullptr;
}

void LaneEngine::SetKernel(LaneKernel kernel)
{
    mCurrent = false;
    if (kernel == LaneKernel::Octets && !GroupKernelOf(kernel)) kernel = LaneKernel::Quads;
    if (kernel == LaneKernel::Quads && !GroupKernelOf(kernel)) kernel = LaneKernel::Pairs;
    mKernel = kernel;
    mWide = GroupKernelOf(kernel);
}

void LaneEngine::SetGroupKernel(const GroupKernel& kernel)
{
    mCurrent = false;
    mKernel = kernel.width == 8   ? LaneKernel::Octets
              : kernel.width == 4 ? LaneKernel::Quads
                                  : LaneKernel::Pairs;
    mWide = &kernel;
}

inline bool LaneEngine::RunsWide(const LaneGroup& g) const
{
    // A lone lane runs faster sample by sample in its own kernel.
    return mWide && g.laneCount > 1;
}

bool LaneEngine::Prepare()
{
    if (!mCurrent)
    {
        Gather();
    }
    return mLaneByLane;
}

void LaneEngine::Gather()
{
    mLaneByLane = PrepareLanes();
    mGroupCount = 0;
    mSineCount = 0;
    for (int i = 0; i < kNumTaps; ++i)
    {
        mRunning[i] = false;
        if (LfoSine* sine = mDelay.mTaps[i].lfo.Sine())
        {
            mSines[mSineCount] = sine;
            mSineTaps[mSineCount++] = i;
        }
    }
    for (int k = 0; k < mLaneCount; ++k)
    {
        mRunning[mLanes[k].index] = true;
    }
    mAllWide = false;
    if (!mLaneByLane)
    {
        return;
    }
    FormGroups();
    for (int k = 0; k < mLaneCount; ++k)
    {
        LoadLane(mLanes[k], mStates[k]);
    }
    ConnectLanes();
    mAllWide = mGroupCount > 0;
    for (int i = 0; i < mGroupCount; ++i)
    {
        if (RunsWide(mGroups[i]))
        {
            LoadGroup(mGroups[i]);
        }
        mAllWide = mAllWide && RunsWide(mGroups[i]);
    }
    mSignals.wide = mAllWide;
}

bool LaneEngine::PrepareLanes()
{
    const Delay& d = mDelay;
    bool laneByLane = mKernel != LaneKernel::SampleBySample;
    int position[kNumTaps + 1];
    for (int i = 0; i <= kNumTaps; ++i)
    {
        position[i] = -1;
    }
    mLaneCount = d.mOrderCount;
    for (int k = 0; k < mLaneCount; ++k)
    {
        position[d.mOrder[k]->index] = k;
    }
    for (int k = 0; k < mLaneCount; ++k)
    {
        Lane& lane = mLanes[k];
        DelayLine* line = d.mOrder[k];
        const int i = line->index;
        DelayTap* tap = &mDelay.mTaps[i];
        // Heads moved while the line did not run are placed now.
        tap->heads.Settle();
        lane.line = line;
        lane.tap = tap;
        lane.meter = &mDelay.mMeters[i];
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
                       line->feedbackGain * d.mFeedbackScale * d.mFeedbackScaleFactor};

        // Lane by lane over a stretch of samples is exact only when every
        // source a lane hears runs before it (or not at all), and when the
        // line's memory can be walked as one ring.
        if (position[lane.source] >= k || !line->buffer.Contiguous() || tap->line != line ||
            tap->heads.headA.buffer != &line->buffer || tap->heads.headB.buffer != &line->buffer)
        {
            laneByLane = false;
        }
    }
    return laneByLane;
}

void LaneEngine::FormGroups()
{
    // Neighbours in the order run side by side until one hears another
    // member of its group (sources always run earlier, so nothing else can
    // be missing).
    const int widest = mWide ? LaneGroup::kSlots : 1;
    int k = 0;
    while (k < mLaneCount)
    {
        LaneGroup& g = mGroups[mGroupCount++];
        g.laneCount = 0;
        bool member[kNumTaps + 1] = {};
        while (k < mLaneCount && g.laneCount < widest && !member[mLanes[k].source])
        {
            member[mLanes[k].index] = true;
            g.lanes[g.laneCount++] = &mStates[k++];
        }
    }
}

void LaneEngine::ConnectLanes()
{
    static const double kSilence[Signals::kMax] = {};
    Signals& sig = mSignals;
    bool heard[kNumTaps + 1] = {};
    sig.sums = false;
    for (int k = 0; k < mLaneCount; ++k)
    {
        heard[mLanes[k].source] = true;
        sig.sums = sig.sums || mLanes[k].port >= 3;
    }
    sig.heldCount = 0;
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (heard[i] && !mRunning[i])
        {
            sig.held[sig.heldCount++] = i;
        }
    }
    // Port 0 and "no tap" are silence.
    const double* portData[6] = {kSilence,     sig.ports[1], sig.ports[2],
                                 sig.ports[3], sig.ports[4], sig.ports[5]};
    for (int k = 0; k < mLaneCount; ++k)
    {
        const Lane& lane = mLanes[k];
        mStates[k].port = portData[lane.port];
        mStates[k].source = lane.source == kNoTap ? kSilence : sig.outs[lane.source];
        mStates[k].out = sig.outs[lane.index];
    }
}

void LaneEngine::Step(int ahead)
{
    // The Delay's control step for a block that runs lane by lane, where the
    // lanes and groups hold the read heads: each running tap's step goes
    // straight into them. The engine's heads take the distances,
    // coefficients and swaps at once for a lone lane, at the
    // block's end for a wide group (StoreGroup); their positions and
    // allpass states follow at the block's end. Taps without a running line
    // put off placing their heads until the line runs again.
    DelayTap* const taps = mDelay.mTaps;
    const double depthScale = mDelay.mLfoDepthScale;
    const double samplesPerMs = mDelay.mSamplesPerMs;
    // The sine oscillators (the usual shape) advance four at a time, the
    // others one by one.
    float values[kNumTaps];
    for (int i = 0, k = 0; i < kNumTaps; ++i)
    {
        if (k < mSineCount && mSineTaps[k] == i)
        {
            ++k;
        }
        else
        {
            values[i] = taps[i].AdvanceLfo();
        }
    }
    LfoSine::AdvanceEach(mSines, mSineCount, DelayTap::kControlInterval);
    for (int k = 0; k < mSineCount; ++k)
    {
        values[mSineTaps[k]] = mSines[k]->value;
    }
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (!mRunning[i])
        {
            taps[i].MoveIdleHeads(values[i], depthScale, samplesPerMs);
        }
    }
    for (int i = 0; i < mGroupCount; ++i)
    {
        LaneGroup& g = mGroups[i];
        if (RunsWide(g))
        {
            double offset[LaneGroup::kSlots] = {};
            for (int j = 0; j < g.laneCount; ++j)
            {
                const Lane& lane = LaneOfState(g.lanes[j]);
                offset[j] =
                    lane.tap->ModulationOffset(values[lane.index], depthScale, samplesPerMs);
            }
            mWide->prepareStep(g, offset, ahead);
            if (ahead == 0)
            {
                mWide->takeStep(g);
            }
            continue;
        }
        for (int j = 0; j < g.laneCount; ++j)
        {
            LaneState& s = *g.lanes[j];
            const Lane& lane = LaneOfState(&s);
            const ReadHead::Placement p = lane.tap->MoveHeadsHeld(
                values[lane.index], depthScale, samplesPerMs, static_cast<int>(s.write - s.base));
            // The idle head, with its allpass state, becomes the current one.
            s.readOld = s.readNew;
            s.readNew = s.base + p.slot;
            std::swap(s.heads.old, s.heads.current);
            s.heads.current.coefficient = p.coefficient;
            s.heads.fade = HeadPair::kFadeStart;
        }
    }
}

void LaneEngine::TakeSteps()
{
    for (int i = 0; i < mGroupCount; ++i)
    {
        mWide->takeStep(mGroups[i]);
    }
}

bool LaneEngine::RunsAcrossStep(int stepAt, int count) const
{
    bool across = true;
    for (int i = 0; i < mGroupCount; ++i)
    {
        across = across && ::RunsAcrossStep(mGroups[i], stepAt, count);
    }
    return across;
}

void LaneEngine::Run(double gain, const double* in0, const double* in1, double* out0, double* out1,
                     int count, int stepAt)
{
    // Everything between two control steps (up to 32 samples), one lane or
    // one group of lanes at a time, each lane's state held in locals.
    // The arithmetic and its order per sample are those of the Delay's
    // sample-by-sample path.
    Signals& sig = mSignals;
    double* const ports[6] = {sig.ports[0], sig.ports[1], sig.ports[2],
                              sig.ports[3], sig.ports[4], sig.ports[5]};
    double* const left = sig.left;
    double* const right = sig.right;
    // The input ports, as many samples to a register as the block allows.
    int n = sig.wide ? mWide->feedPorts(in0, in1, gain, sig.sums, ports, left, right, count) : 0;
    n = FeedPorts<LanePair>(in0, in1, gain, sig.sums, ports, left, right, n, count);
    FeedPorts<double>(in0, in1, gain, sig.sums, ports, left, right, n, count);
    double* const tapOutputs = mDelay.mTapOutputs;
    for (int h = 0; h < sig.heldCount; ++h)
    {
        const int i = sig.held[h];
        for (int k = 0; k < count; ++k)
        {
            sig.outs[i][k] = tapOutputs[i];
        }
    }

    for (int i = 0; i < mGroupCount; ++i)
    {
        LaneGroup& g = mGroups[i];
        if (RunsWide(g))
        {
            mWide->run(g, count, left, right, stepAt);
        }
        else
        {
            RunLane(*g.lanes[0], count, left, right);
        }
    }
    for (int k = 0; k < mLaneCount; ++k)
    {
        const Lane& lane = mLanes[k];
        const double* out = sig.outs[lane.index];
        tapOutputs[lane.index] = out[count - 1];
        lane.meter->Run(out, count);
    }

    const double dry = mDelay.mDryLevel;
    const double wet = mDelay.mWetLevel;
    n = sig.wide
            ? mWide->mixMains(ports[1], ports[2], left, right, dry, wet, gain, out0, out1, count)
            : 0;
    n = MixMains<LanePair>(ports[1], ports[2], left, right, dry, wet, gain, out0, out1, n, count);
    MixMains<double>(ports[1], ports[2], left, right, dry, wet, gain, out0, out1, n, count);
}

void LaneEngine::Finish()
{
    bool inSlots[kNumTaps] = {};
    for (int i = 0; i < mGroupCount; ++i)
    {
        LaneGroup& g = mGroups[i];
        if (RunsWide(g))
        {
            StoreGroup(g);
            g.steps = 0;
            for (int j = 0; j < g.laneCount; ++j)
                inSlots[g.lanes[j] - mStates] = true;
        }
    }
    for (int k = 0; mLaneByLane && k < mLaneCount; ++k)
    {
        StoreLane(mLanes[k], mStates[k], inSlots[k]);
    }
    mCurrent = true;
}

void LaneEngine::LoadLane(const Lane& lane, LaneState& s)
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
    s.feedbackSample = mDelay.mFeedbackValues[lane.index];
}

namespace
{
void StoreTap(DelayTap& tap, const TapHeads<double>& h, const BiquadState<double>& high,
              const BiquadState<double>& low)
{
    tap.heads.previous->allpass = h.old;
    tap.heads.current->allpass = h.current;
    tap.heads.crossfade = h.fade;
    tap.highPass.state = high;
    tap.lowPass.state = low;
}
} // namespace

void LaneEngine::StoreLane(const Lane& lane, const LaneState& s, bool inSlots)
{
    DelayLine& line = *lane.line;
    DelayTap& tap = *lane.tap;
    HeadPair& heads = tap.heads;
    line.writeIndex = static_cast<int>(s.write - s.base);
    MoveCursor(line.buffer, heads.previous->cursor, s.readOld, s.base);
    MoveCursor(line.buffer, heads.current->cursor, s.readNew, s.base);
    MoveCursor(line.buffer, line.writeCursor, s.write, s.base);
    MoveCursor(line.buffer, line.injectCursor, s.inject, s.base);
    mDelay.mFeedbackValues[lane.index] = s.feedbackSample;
    if (!inSlots)
    {
        StoreTap(tap, s.heads, s.filters.highState, s.filters.lowState);
    }
}

void LaneEngine::LoadGroup(LaneGroup& g) const
{
    mWide->gather(g);
    for (int j = 0; j < g.laneCount; ++j)
    {
        const HeadPair& heads = LaneOfState(g.lanes[j]).tap->heads;
        g.glideA.lane[j] = heads.smoother.a;
        g.glideB.lane[j] = heads.smoother.b;
        g.glide.lane[j] = heads.smoother.z;
        g.target.lane[j] = heads.target;
        g.delayOld.lane[j] = heads.previous->delay;
        g.delayNew.lane[j] = heads.current->delay;
    }
    g.steps = 0;
}

void LaneEngine::StoreGroup(const LaneGroup& g)
{
    for (int j = 0; j < g.laneCount; ++j)
    {
        DelayTap& tap = *LaneOfState(g.lanes[j]).tap;
        HeadPair& heads = tap.heads;
        heads.smoother.z = g.glide.lane[j];
        if (g.steps % 2 != 0)
        {
            std::swap(heads.current, heads.previous);
        }
        heads.previous->delay = g.delayOld.lane[j];
        heads.current->delay = g.delayNew.lane[j];
        const auto slot = [j](double& v, const Slots& row) { v = row.lane[j]; };
        TapHeads<double> h;
        BiquadState<double> high, low;
        ForEachField(slot, h, g.heads);
        ForEachField(slot, high, g.filters.highState);
        ForEachField(slot, low, g.filters.lowState);
        StoreTap(tap, h, high, low);
    }
}
