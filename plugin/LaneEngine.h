#pragma once

#include "plugin/DelayKernel.h"
#include "plugin/DelayParams.h"

class Delay;
class DelayLine;
class DelayTap;
class LfoSine;
struct TapMeter;

// How the block loop runs the lines: sample by sample through the engine's
// objects (the reference), or lane by lane with each lane's state in
// registers, a group of lanes two to an SSE2 register, four to an AVX2
// register or eight to an AVX-512 one (a lone lane runs on its own, sample by
// sample). All of them give identical results.
enum class LaneKernel
{
    SampleBySample,
    Pairs,
    Quads,
    Octets
};

// The lane-by-lane path of a Delay's block: the running lines gathered into
// lanes (each line's positions, heads, filters and output settings), split
// into groups that run side by side, and the signals between them. The
// lanes are kept from block to block; their states go back into the engine
// at every block's end, and whatever changes the engine between blocks marks
// them out of date, so that the next block gathers them afresh.
class LaneEngine
{
public:
    // One running line: which records it runs on and how it is connected.
    struct Lane
    {
        DelayLine* line;
        DelayTap* tap;
        TapMeter* meter;
        int index;
        int port;
        int source;
        OutputStage<double> output;
    };

    explicit LaneEngine(Delay& delay);

    // The fastest kernel this processor runs, found once per process.
    static LaneKernel FastestKernel();
    static const char* KernelName(LaneKernel kernel);
    // The group kernel of Quads or Octets where the processor runs it, else
    // null.
    static const GroupKernel* GroupKernelOf(LaneKernel kernel);
    // The kernel asked for, or the next narrower one the processor runs.
    void SetKernel(LaneKernel kernel);
    // Runs wide groups in the given group kernel, whatever the processor
    // runs: for checks of a kernel built without its instruction set.
    void SetGroupKernel(const GroupKernel& kernel);
    LaneKernel Kernel() const { return mKernel; }

    void MarkOutOfDate() { mCurrent = false; }
    // Gathers the lanes when they are out of date. True when the block runs
    // lane by lane; otherwise lanes() lists the running lines for the
    // sample-by-sample path.
    bool Prepare();
    const Lane* Lanes() const { return mLanes; }
    // Whether tap i's line runs (after Prepare).
    bool Running(int i) const { return mRunning[i]; }
    // Every group runs in the group kernel: a control step that falls a few
    // samples before a block's end can be taken inside a stretch.
    bool AllWide() const { return mAllWide; }

    // The control step of all taps (LFOs and heads). With ahead > 0 (only
    // when AllWide) the step that falls ahead samples from now is
    // prepared, and the groups take it then (TakeSteps when no stretch did).
    void Step(int ahead);
    void TakeSteps();
    // Whether one stretch of count samples can take the prepared step after
    // stepAt samples.
    bool RunsAcrossStep(int stepAt, int count) const;
    // One stretch of count samples; with stepAt < count (AllWide only) the prepared control step is
    // taken after stepAt samples.
    void Run(double gain, const double* in0, const double* in1, double* out0, double* out1,
             int count, int stepAt);
    // The lanes' states back into the engine's records at a block's end; the
    // lanes then serve the next block unless something changes the engine.
    void Finish();

private:
    // A block's signals between the lanes, one stretch at a time: the input
    // ports, each tap's outputs and the main outputs. Whole cache lines: the
    // kernels read and write them a register at a time, and an access split
    // across two lines is much slower.
    struct Signals
    {
        static constexpr int kMax = kLongestStretch;
        alignas(64) double ports[6][kMax];
        alignas(64) double outs[kNumTaps][kMax];
        alignas(64) double left[kMax];
        alignas(64) double right[kMax];
        // Taps that a lane hears but that do not run: their last output holds.
        int held[kNumTaps];
        int heldCount;
        bool sums; // a lane hears one of the ports made of both inputs
        // Every group runs in the group kernel: the ports and the main outputs
        // go as many samples to a register as well. Not after a lone lane's
        // kernel: reading its narrow stores of the main-output shares a
        // register at a time made the 32-bit DLL twice as slow.
        bool wide;
    };

    void Gather();
    // Gathers the running lanes; true when they can run lane by lane.
    bool PrepareLanes();
    // Splits the running lanes into groups that run side by side.
    void FormGroups();
    // Whether the group runs in the group kernel (else, a lone lane, in the
    // single-lane one), its heads and filters then held in the group's slots.
    bool RunsWide(const LaneGroup& g) const;
    // Points the lanes at the block's signals.
    void ConnectLanes();
    // A running lane's state between the engine's records and the kernels';
    // a lane of a wide group stores only its positions (its heads and
    // filters are in the group's slots).
    void LoadLane(const Lane& lane, LaneState& s);
    void StoreLane(const Lane& lane, const LaneState& s, bool inSlots);
    // A wide group's heads and filters from its lanes, and its head
    // pairs' glide and placement from the engine; stored, all of them go
    // straight from the slots to the engine. The group is stored before its
    // lanes.
    void LoadGroup(LaneGroup& g) const;
    void StoreGroup(const LaneGroup& g);
    const Lane& LaneOfState(const LaneState* s) const { return mLanes[s - mStates]; }

    Delay& mDelay;
    LaneKernel mKernel;
    const GroupKernel* mWide = nullptr;
    // Whether the lanes still match the engine's records.
    bool mCurrent = false;
    bool mLaneByLane = false;
    bool mAllWide = false;
    int mLaneCount = 0;
    int mGroupCount = 0;
    Lane mLanes[kNumTaps];
    // Lane by lane, each lane's state stays in its LaneState, and the heads
    // and filters of a wide group in the group's slots.
    LaneState mStates[kNumTaps];
    LaneGroup mGroups[kNumTaps];
    bool mRunning[kNumTaps] = {}; // by tap: its line runs
    // The taps whose LFO is a sine, which advance four at a time.
    LfoSine* mSines[kNumTaps];
    int mSineTaps[kNumTaps];
    int mSineCount = 0;
    Signals mSignals;
};
