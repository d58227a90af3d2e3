// Block processing: tempo tracking, output level, the 32-sample control
// steps and the sample loop through the lines in processing order.

#include "platform/CpuFeatures.h"
#include "plugin/Delay.h"
#include "plugin/DelayKernel.h"

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

inline double CleanInput(double x)
{
    x = std::fabs(x) <= DBL_MAX ? x : 0.0;
    x = x < -kSignalLimit ? -kSignalLimit : x;
    return x > kSignalLimit ? kSignalLimit : x;
}

// CleanInput on two samples: the mask and the limits pick exactly the values
// the comparisons pick.
inline __m128d CleanInputs(__m128d x)
{
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), x);
    x = _mm_and_pd(x, _mm_cmple_pd(magnitude, _mm_set1_pd(DBL_MAX)));
    return _mm_min_pd(_mm_max_pd(x, _mm_set1_pd(-kSignalLimit)), _mm_set1_pd(kSignalLimit));
}

inline double LimitFeedback(double x)
{
    x = x < -kFeedbackLimit ? -kFeedbackLimit : x;
    return x > kFeedbackLimit ? kFeedbackLimit : x;
}

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
    double processed; // 1 in state "oper", else 0
    double bypassed;  // 1 in state "byp", else 0
    double sign;      // phase sign when processed, 1 otherwise
    double gain;
    double left;     // (1 - pan) on the mains, else 0
    double right;    // pan on the mains, else 0
    double feedback; // feedback gain x FbScale x Scl_Fbk
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
                StoreLane(lanes[k], states[k], !kept.grouped[k]);
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
            LoadLane(lanes[k], states[k], !b.grouped[k]);
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
        lane.processed = tap->operation == DelayTap::Processed ? 1.0 : 0.0;
        lane.bypassed = tap->operation == DelayTap::Bypassed ? 1.0 : 0.0;
        lane.sign = tap->operation == DelayTap::Processed ? tap->phaseSign : 1.0;
        lane.gain = tap->gain;
        lane.left = tap->mains ? 1.0 - tap->pan : 0.0;
        lane.right = tap->mains ? tap->pan : 0.0;
        // Same grouping as gain x FbScale x Scl_Fbk x sum, left to right.
        lane.feedback = line->feedbackGain * mFeedbackScale * mFeedbackScaleFactor;

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
            const double x = ports[lane.port] + tapOut[lane.source] + kAntiDenormal;
            lane.line->Write(x, feedback[lane.index]);
            const double y = lane.tap->Read();
            const double o0 = lane.tap->Filter(y) * lane.gain;
            const double sum = o0 * lane.processed;
            double o = sum + x * lane.bypassed;
            const double s = o * lane.sign;
            o += kAntiDenormal;
            tapOut[lane.index] = o;
            if (n == meterAt[k])
            {
                metered[k] = o;
            }
            left += lane.left * s;
            right += lane.right * s;
            feedback[lane.index] = LimitFeedback(lane.feedback * sum);
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
            s.coefOld = s.coefNew;
            s.coefNew = p.coefficient;
            std::swap(s.inOld, s.inNew);
            std::swap(s.outOld, s.outNew);
            s.fade = HeadPair::kFadeStart;
        }
    }
}

void Delay::LoadGroup(const Lane* lanes, const LaneState* states, LaneGroup& g) const
{
    ClearUnusedSlots(g);
    for (int j = 0; j < g.laneCount; ++j)
    {
        const DelayTap& tap = *lanes[g.lanes[j] - states].tap;
        const HeadPair& heads = tap.heads;
        g.coefOld[j] = heads.previous->coefficient;
        g.inOld[j] = heads.previous->previousInput;
        g.outOld[j] = heads.previous->previousOutput;
        g.coefNew[j] = heads.current->coefficient;
        g.inNew[j] = heads.current->previousInput;
        g.outNew[j] = heads.current->previousOutput;
        g.fade[j] = heads.crossfade;
        const Biquad& hp = tap.highPass;
        const Biquad& lp = tap.lowPass;
        g.hp[0][j] = hp.b0;
        g.hp[1][j] = hp.b1;
        g.hp[2][j] = hp.b2;
        g.hp[3][j] = hp.a1;
        g.hp[4][j] = hp.a2;
        g.hpState[0][j] = hp.x1;
        g.hpState[1][j] = hp.x2;
        g.hpState[2][j] = hp.y1;
        g.hpState[3][j] = hp.y2;
        g.lp[0][j] = lp.b0;
        g.lp[1][j] = lp.b1;
        g.lp[2][j] = lp.b2;
        g.lp[3][j] = lp.a1;
        g.lp[4][j] = lp.a2;
        g.lpState[0][j] = lp.x1;
        g.lpState[1][j] = lp.x2;
        g.lpState[2][j] = lp.y1;
        g.lpState[3][j] = lp.y2;
        g.glideA[j] = heads.smoother.a;
        g.glideB[j] = heads.smoother.b;
        g.glide[j] = heads.smoother.z;
        g.target[j] = heads.target;
        g.delayOld[j] = heads.previous->delay;
        g.delayNew[j] = heads.current->delay;
    }
    g.steps = 0;
    SurveyGroup(g);
}

void Delay::StoreGroup(const Lane* lanes, const LaneState* states, const LaneGroup& g)
{
    // The engine's heads take what the group's control steps did to them
    // (StoreLane then moves their cursors), and the filters their states.
    for (int j = 0; j < g.laneCount; ++j)
    {
        DelayTap& tap = *lanes[g.lanes[j] - states].tap;
        HeadPair& heads = tap.heads;
        heads.smoother.z = g.glide[j];
        if (g.steps % 2 != 0)
        {
            std::swap(heads.current, heads.previous);
        }
        heads.previous->delay = g.delayOld[j];
        heads.previous->coefficient = g.coefOld[j];
        heads.previous->previousInput = g.inOld[j];
        heads.previous->previousOutput = g.outOld[j];
        heads.current->delay = g.delayNew[j];
        heads.current->coefficient = g.coefNew[j];
        heads.current->previousInput = g.inNew[j];
        heads.current->previousOutput = g.outNew[j];
        heads.crossfade = g.fade[j];
        Biquad& hp = tap.highPass;
        Biquad& lp = tap.lowPass;
        hp.x1 = g.hpState[0][j];
        hp.x2 = g.hpState[1][j];
        hp.y1 = g.hpState[2][j];
        hp.y2 = g.hpState[3][j];
        lp.x1 = g.lpState[0][j];
        lp.x2 = g.lpState[1][j];
        lp.y1 = g.lpState[2][j];
        lp.y2 = g.lpState[3][j];
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
    double(*const ports)[Signals::kMax] = sig.ports;
    double* const left = sig.left;
    double* const right = sig.right;
    // The input ports, two samples at a time.
    const __m128d levelGain = _mm_set1_pd(gain);
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d sqrtHalf = _mm_set1_pd(kSqrtHalf);
    const int fed = sig.wide ? FeedPorts(in0, in1, gain, sig.sums, ports, left, right, count) : 0;
    int n = fed;
    for (; n + 2 <= count; n += 2)
    {
        const __m128d L = _mm_mul_pd(CleanInputs(_mm_loadu_pd(in0 + n)), levelGain);
        const __m128d R = _mm_mul_pd(CleanInputs(_mm_loadu_pd(in1 + n)), levelGain);
        _mm_storeu_pd(ports[1] + n, L);
        _mm_storeu_pd(ports[2] + n, R);
        _mm_storeu_pd(left + n, _mm_setzero_pd());
        _mm_storeu_pd(right + n, _mm_setzero_pd());
    }
    for (; n < count; ++n)
    {
        ports[1][n] = CleanInput(in0[n]) * gain;
        ports[2][n] = CleanInput(in1[n]) * gain;
        left[n] = 0.0;
        right[n] = 0.0;
    }
    if (sig.sums)
    {
        n = fed;
        for (; n + 2 <= count; n += 2)
        {
            const __m128d L = _mm_loadu_pd(ports[1] + n);
            const __m128d R = _mm_loadu_pd(ports[2] + n);
            _mm_storeu_pd(ports[3] + n, _mm_mul_pd(_mm_add_pd(L, R), half));
            _mm_storeu_pd(ports[4] + n, _mm_mul_pd(_mm_add_pd(L, R), sqrtHalf));
            _mm_storeu_pd(ports[5] + n, _mm_mul_pd(_mm_sub_pd(L, R), sqrtHalf));
        }
        for (; n < count; ++n)
        {
            const double L = ports[1][n];
            const double R = ports[2][n];
            ports[3][n] = (L + R) * 0.5;
            ports[4][n] = (L + R) * kSqrtHalf;
            ports[5][n] = (L - R) * kSqrtHalf;
        }
    }
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

    const __m128d dry = _mm_set1_pd(mDryLevel);
    const __m128d wet = _mm_set1_pd(mWetLevel);
    n = sig.wide ? MixMains(ports[1], ports[2], left, right, mDryLevel, mWetLevel, gain, out0, out1,
                            count)
                 : 0;
    for (; n + 2 <= count; n += 2)
    {
        const __m128d mixL = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(ports[1] + n), dry),
                                        _mm_mul_pd(_mm_loadu_pd(left + n), wet));
        const __m128d mixR = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(ports[2] + n), dry),
                                        _mm_mul_pd(_mm_loadu_pd(right + n), wet));
        _mm_storeu_pd(out0 + n, _mm_mul_pd(mixL, levelGain));
        _mm_storeu_pd(out1 + n, _mm_mul_pd(mixR, levelGain));
    }
    for (; n < count; ++n)
    {
        out0[n] = (ports[1][n] * mDryLevel + left[n] * mWetLevel) * gain;
        out1[n] = (ports[2][n] * mDryLevel + right[n] * mWetLevel) * gain;
    }
}

void Delay::LoadLane(const Lane& lane, LaneState& s, bool headsAndFilters)
{
    const DelayLine& line = *lane.line;
    const HeadPair& heads = lane.tap->heads;
    s.base = const_cast<double*>(line.buffer.Base());
    s.end = s.base + line.buffer.length;
    s.write = line.writeCursor.slot;
    s.inject = line.injectCursor.slot;
    s.readOld = heads.previous->cursor.slot;
    s.readNew = heads.current->cursor.slot;
    s.processed = lane.processed;
    s.bypassed = lane.bypassed;
    s.sign = lane.sign;
    s.gain = lane.gain;
    s.toLeft = lane.left;
    s.toRight = lane.right;
    s.loop = lane.feedback;
    s.feedback = mFeedbackValues[lane.index];
    if (!headsAndFilters)
    {
        return;
    }
    s.coefOld = heads.previous->coefficient;
    s.inOld = heads.previous->previousInput;
    s.outOld = heads.previous->previousOutput;
    s.coefNew = heads.current->coefficient;
    s.inNew = heads.current->previousInput;
    s.outNew = heads.current->previousOutput;
    s.fade = heads.crossfade;
    const Biquad& hp = lane.tap->highPass;
    const Biquad& lp = lane.tap->lowPass;
    const double hpc[9] = {hp.b0, hp.b1, hp.b2, hp.a1, hp.a2, hp.x1, hp.x2, hp.y1, hp.y2};
    const double lpc[9] = {lp.b0, lp.b1, lp.b2, lp.a1, lp.a2, lp.x1, lp.x2, lp.y1, lp.y2};
    for (int i = 0; i < 5; ++i)
    {
        s.hp[i] = hpc[i];
        s.lp[i] = lpc[i];
    }
    for (int i = 0; i < 4; ++i)
    {
        s.hpState[i] = hpc[5 + i];
        s.lpState[i] = lpc[5 + i];
    }
}

void Delay::StoreLane(const Lane& lane, const LaneState& s, bool headsAndFilters)
{
    DelayLine& line = *lane.line;
    HeadPair& heads = lane.tap->heads;
    line.writeIndex = static_cast<int>(s.write - s.base);
    MoveCursor(line.buffer, heads.previous->cursor, s.readOld, s.base);
    MoveCursor(line.buffer, heads.current->cursor, s.readNew, s.base);
    MoveCursor(line.buffer, line.writeCursor, s.write, s.base);
    MoveCursor(line.buffer, line.injectCursor, s.inject, s.base);
    mFeedbackValues[lane.index] = s.feedback;
    if (!headsAndFilters)
    {
        return;
    }
    heads.previous->previousInput = s.inOld;
    heads.previous->previousOutput = s.outOld;
    heads.current->previousInput = s.inNew;
    heads.current->previousOutput = s.outNew;
    heads.crossfade = s.fade;
    Biquad& hp = lane.tap->highPass;
    Biquad& lp = lane.tap->lowPass;
    hp.x1 = s.hpState[0];
    hp.x2 = s.hpState[1];
    hp.y1 = s.hpState[2];
    hp.y2 = s.hpState[3];
    lp.x1 = s.lpState[0];
    lp.x2 = s.lpState[1];
    lp.y1 = s.lpState[2];
    lp.y2 = s.lpState[3];
}
