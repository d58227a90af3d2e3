#pragma once

#include "dsp/DelayTap.h"

#include <cstddef>
#include <initializer_list>

// The per-sample work of one running line and its tap over a stretch of at
// most 32 samples (between two control steps), with every piece of state in
// locals. Two lanes that do not hear each other can run side by side in the
// two halves of SSE2 registers; each half does exactly the scalar arithmetic,
// so both forms give identical results.

// Added to a line's input and to each tap output: keeps the recursive paths
// away from denormal numbers.
constexpr double kAntiDenormal = 1e-20;
// A line's feedback value is held within this (+24 dBFS): a loop turned up
// past unity self-oscillates loud but bounded, and falls back at once when
// the feedback is lowered. Ordinary signals never get there.
constexpr double kFeedbackLimit = 16.0;
// An input sample beyond this is broken and clipped.
constexpr double kSignalLimit = 1e6;
constexpr double kSqrtHalf = 0.7071067811865475;
// Longest stretch a kernel runs: one control period, and a few samples more
// when the four-lane kernel takes a control step inside the stretch.
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

    // Read heads (previous and current), their crossfade, the two filters.
    double coefOld, inOld, outOld;
    double coefNew, inNew, outNew;
    double fade;
    double hp[5], hpState[4]; // b0 b1 b2 a1 a2; x1 x2 y1 y2
    double lp[5], lpState[4];

    // Output stage.
    double processed; // 1 in operation "oper", else 0
    double bypassed;  // 1 in operation "byp", else 0
    double sign;      // phase sign when processed, else 1
    double gain;
    double toLeft;   // (1 - pan) on the mains, else 0
    double toRight;  // pan on the mains, else 0
    double loop;     // feedback gain x FbScale x Scl_Fbk
    double feedback; // value written into the line at the next sample
};

// Samples before any of the lane's four positions wraps around the ring.
inline int SamplesBeforeWrap(const LaneState& s)
{
    std::ptrdiff_t m = s.end - s.write;
    const std::ptrdiff_t others[3] = {s.end - s.inject, s.end - s.readOld, s.end - s.readNew};
    for (std::ptrdiff_t v : others)
    {
        m = v < m ? v : m;
    }
    return m > 1 << 30 ? 1 << 30 : static_cast<int>(m);
}

// Puts a position that reached the ring's end back to its start.
inline void WrapAtRingEnd(LaneState& s)
{
    for (double** p : {&s.write, &s.inject, &s.readOld, &s.readNew})
    {
        *p = *p == s.end ? s.base : *p;
    }
}

// Whether a stretch of count samples, in which no position wraps, reads no
// slot that it also writes.
inline bool ReadsClearOfWrites(const LaneState& s, int count)
{
    for (const double* r : {s.readOld, s.readNew})
    {
        for (const double* w : {s.write, s.inject})
        {
            const std::ptrdiff_t gap = r > w ? r - w : w - r;
            if (gap < count)
            {
                return false;
            }
        }
    }
    return true;
}

// Runs count samples (1..32). left and right receive each lane's share of
// the main outputs, added in lane order.
void RunLane(LaneState& s, int count, double* left, double* right);
void RunLanePair(LaneState& a, LaneState& b, int count, double* left, double* right);

// Up to eight lanes, none of which hears another, for the four-lane kernel:
// the group's read heads and filters field by field (slot j = lanes[j]),
// held there while the lanes are kept. Each lane's LaneState keeps its
// positions, signals and output stage. Each field of eight slots fills one cache line,
// so that no register-wide access is split across two.
struct alignas(64) LaneGroup
{
    static constexpr int kSlots = 8;
    double coefOld[kSlots], inOld[kSlots], outOld[kSlots];
    double coefNew[kSlots], inNew[kSlots], outNew[kSlots];
    double fade[kSlots];
    double hp[5][kSlots], hpState[4][kSlots];
    double lp[5][kSlots], lpState[4][kSlots];
    // For the control steps: the distance glide (z = a z + b target, as a
    // fraction of the ring), the distances the heads were placed at, and
    // how many steps (head swaps) the group has taken since the engine
    // last had them.
    double glideA[kSlots], glideB[kSlots], glide[kSlots], target[kSlots];
    double delayOld[kSlots], delayNew[kSlots];
    // A prepared control step not yet taken: the new current heads'
    // coefficients and slots, and the survey for the positions after it.
    double pendingCoef[kSlots];
    int pendingSlot[kSlots];
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
// past the last lane hold 0. Surveys the group. ScatterGroup copies the slots
// back, filter coefficients included. Four-lane groups exist only on
// processors that run AVX2, and so do the surveys.
void GatherGroup(LaneGroup& g);
void ScatterGroup(const LaneGroup& g);
// Slots past the last lane hold 0; the kernel keeps them finite.
void ClearUnusedSlots(LaneGroup& g);
// Works out separable and untilWrap from the lanes' positions.
void SurveyGroup(LaneGroup& g);

// One control step of the group's read heads, four lanes to a register, in
// two halves. PrepareGroupStep works out the step that falls ahead samples
// from now: each lane's distance glides (at once), the idle head's place is
// offset[j] samples (kSlots values) behind the write position then, and the
// group is surveyed for the positions after the step. TakeGroupStep moves
// the heads when the stretch gets there: the idle head becomes the current
// one and the crossfade starts again. The arithmetic is that of
// HeadPair::Step and ReadHead::SetDistance, lane for lane. Only for
// processors that run AVX2.
void PrepareGroupStep(LaneGroup& g, const double* offset, int ahead);
void TakeGroupStep(LaneGroup& g);
// Whether RunLaneQuads can take the prepared step after stepAt of count
// samples inside one stretch (nothing wraps and nothing read is written on
// either side of it).
bool RunsAcrossStep(const LaneGroup& g, int stepAt, int count);

// The signals around a stretch, four samples to a register, for blocks on
// processors that run AVX2. Each does the longest run of whole registers
// from the stretch's start and returns its length; the caller does the rest
// with the same arithmetic. FeedPorts: ports 1 and 2 take the cleaned inputs
// times gain, and with sums ports 3 to 5 take (L + R) / 2, (L + R) x sqrt(1/2)
// and (L - R) x sqrt(1/2); left and right are cleared. MixMains: the main
// outputs, (input x dry + share x wet) x gain.
int FeedPorts(const double* in0, const double* in1, double gain, bool sums,
              double (*ports)[kLongestStretch], double* left, double* right, int count);
int MixMains(const double* in0, const double* in1, const double* left, const double* right,
             double dry, double wet, double gain, double* out0, double* out1, int count);

// Runs the group over count samples (1 .. kLongestStretch), four lanes to a 256-bit
// register, all of them in one pass. The main outputs receive each lane's
// share in lane order, and every lane ends exactly as RunLane would leave it.
// With stepAt < count, the prepared control step is taken after stepAt
// samples (RunsAcrossStep must hold). Only for processors that run AVX2.
void RunLaneQuads(LaneGroup& g, int count, double* left, double* right, int stepAt);
