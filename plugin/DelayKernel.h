#pragma once

#include "dsp/DelayTap.h"
#include "plugin/TapSteps.h"

// The per-sample work of running lines and their taps over a stretch of at
// most 32 samples (between two control steps), with every piece of state in
// locals: one lane alone, sample by sample, or a group of up to eight side by
// side, two to an SSE2 register, four to an AVX2 one or all in an AVX-512
// one, all with the steps of TapSteps.h.

// Longest stretch a kernel runs: one control period, and a few samples more
// when a group kernel takes a control step inside the stretch.
constexpr int kLongestStretch = DelayTap::kControlInterval + 4;

struct LaneState
{
    // Signals for the stretch: the line's input port, the output of the tap it
    // hears (or silence) and where this tap's outputs go.
    const double* port;
    const double* source;
    double* out;

    // Delay memory as one flat ring and the four positions in it.
    double* base;
    double* end;
    double* write;
    double* inject;
    double* readOld;
    double* readNew;

    // The tap's state and settings, one record per step.
    TapHeads<double> heads;
    TapFilters<double> filters;
    OutputStage<double> output;
    double feedbackSample; // written into the line at the next sample
};

// Samples before any of the lane's four positions wraps around the ring.
int SamplesBeforeWrap(const LaneState& s);
// Puts a position that reached the ring's end back to its start.
void WrapAtRingEnd(LaneState& s);
// Whether a stretch of count samples, in which no position wraps, reads no
// slot that it also writes.
bool ReadsClearOfWrites(const LaneState& s, int count);

// Runs one lane over count samples (1 .. kLongestStretch), sample by sample;
// left and right receive its share of the main outputs.
void RunLane(LaneState& s, int count, double* left, double* right);

// A field of every slot of a group, one cache line, so that no
// register-wide access is split across two.
struct alignas(64) Slots
{
    static constexpr int kCount = 8;
    double lane[kCount];
};

// Up to eight lanes, none of which hears another, for a group kernel:
// the group's read heads and filters in slot rows (slot j = lanes[j]), held
// there while the lanes are kept. Each lane's LaneState keeps its
// positions, signals and output stage.
struct LaneGroup
{
    static constexpr int kSlots = Slots::kCount;
    TapHeads<Slots> heads;
    TapFilters<Slots> filters;
    // For the control steps: the distance glide (z = a z + b target, as a
    // fraction of the ring), the distances the heads were placed at, and
    // how many steps (head swaps) the group has taken since the engine
    // last had them.
    Slots glideA, glideB, glide, target;
    Slots delayOld, delayNew;
    // A prepared control step not yet taken: the new current heads'
    // coefficients and slots, and the survey for the positions after it.
    Slots pendingCoef, pendingSlot;
    bool pendingSeparable;
    int pendingUntilWrap;
    // Whether a stretch may take the step inside (see RunsAcrossStep).
    bool pendingAcross;
    int steps;
    LaneState* lanes[kSlots];
    int laneCount;
    // Whether every stretch until the next control step can run in passes:
    // in each lane, no read slot within 32 samples of a written one and no
    // injection up to 31 slots ahead of the write. Positions only move
    // apart at a control step, so it holds until then.
    bool separable;
    // Samples before any lane's position reaches its ring's end.
    int untilWrap;
};

// Copies the lanes' read heads and filters into the group's slots; slots
// past the last lane hold 0. ScatterGroup copies the slots back, filter
// coefficients included.
void GatherGroup(LaneGroup& g);
void ScatterGroup(const LaneGroup& g);
// Slots past the last lane hold 0; the kernel keeps them finite.
void ClearUnusedSlots(LaneGroup& g);
// Whether a group's kernel can take the prepared step after stepAt of count
// samples inside one stretch (nothing wraps and nothing read is written on
// either side of it).
bool RunsAcrossStep(const LaneGroup& g, int stepAt, int count);

// The kernel of groups of up to eight lanes for one instruction set, width
// lanes to a register (plugin/WideKernel.h). Only for processors that run
// that set.
struct GroupKernel
{
    int width;
    // GatherGroup, then the survey of the lanes' positions (separable,
    // untilWrap).
    void (*gather)(LaneGroup& g);
    // One control step of the group's read heads, in two halves.
    // prepareStep works out the step that falls ahead samples from now: each
    // lane's distance glides (at once), the idle head's place is offset[j]
    // samples (kSlots values) behind the write position then, and the group
    // is surveyed for the positions after the step. takeStep moves the heads
    // when the stretch gets there: the idle head becomes the current one and
    // the crossfade starts again. The arithmetic is that of HeadPair::Step
    // and ReadHead::SetDistance, lane for lane.
    void (*prepareStep)(LaneGroup& g, const double* offset, int ahead);
    void (*takeStep)(LaneGroup& g);
    // Runs the group over count samples (1 .. kLongestStretch), all lanes in
    // one pass. The main outputs receive each lane's share in lane order, and
    // every lane ends exactly as RunLane would leave it. With stepAt < count,
    // the prepared control step is taken after stepAt samples (RunsAcrossStep
    // must hold).
    void (*run)(LaneGroup& g, int count, double* left, double* right, int stepAt);
    // FeedPorts and MixMains width samples to a register; the caller does
    // the rest of the stretch.
    int (*feedPorts)(const double* in0, const double* in1, double gain, bool sums,
                     double* const* ports, double* left, double* right, int count);
    int (*mixMains)(const double* in0, const double* in1, const double* left, const double* right,
                    double dry, double wet, double gain, double* out0, double* out1, int count);
};

// Two lanes to an SSE2 register, four to an AVX2 one and eight to an AVX-512
// one.
extern const GroupKernel kGroupKernelSse2;
extern const GroupKernel kGroupKernelAvx2;
extern const GroupKernel kGroupKernelAvx512;
