#include "plugin/DelayKernel.h"

#include <cstddef>
#include <initializer_list>

namespace
{

template <bool Wrap>
[[gnu::always_inline]] inline void StepOn(double*& p, double* base, double* end)
{
    ++p;
    if (Wrap && p == end)
    {
        p = base;
    }
}

// One lane, sample after sample, with its state in locals; with Wrap, the
// positions are checked against the ring's end.
template <bool Wrap>
[[gnu::flatten]] void RunOneLane(LaneState& s, int count, double* left, double* right)
{
    const double* const port = s.port;
    const double* const source = s.source;
    double* const out = s.out;
    double* const base = s.base;
    double* const end = s.end;
    double* write = s.write;
    double* inject = s.inject;
    double* readOld = s.readOld;
    double* readNew = s.readNew;
    TapHeads<double> heads = s.heads;
    TapFilters<double> filters = s.filters;
    const OutputStage<double> output = s.output;
    double feedback = s.feedbackSample;
    for (int n = 0; n < count; ++n)
    {
        const double x = LineInput(port[n], source[n]);
        // The line writes come first: a read may take a slot just written.
        *write = feedback;
        *inject += x;
        const double y = heads.Read(*readOld, *readNew);
        StepOn<Wrap>(write, base, end);
        StepOn<Wrap>(inject, base, end);
        StepOn<Wrap>(readOld, base, end);
        StepOn<Wrap>(readNew, base, end);
        const auto r = output.Run(x, filters.Run(y));
        out[n] = r.out;
        left[n] += output.toLeft * r.mains;
        right[n] += output.toRight * r.mains;
        feedback = r.feedback;
    }
    s.write = write;
    s.inject = inject;
    s.readOld = readOld;
    s.readNew = readNew;
    s.heads = heads;
    s.filters = filters;
    s.feedbackSample = feedback;
}

} // namespace

// Samples before any of the lane's four positions wraps around the ring.
int SamplesBeforeWrap(const LaneState& s)
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
void WrapAtRingEnd(LaneState& s)
{
    for (double** p : {&s.write, &s.inject, &s.readOld, &s.readNew})
    {
        *p = *p == s.end ? s.base : *p;
    }
}

// Whether a stretch of count samples, in which no position wraps, reads no
// slot that it also writes.
bool ReadsClearOfWrites(const LaneState& s, int count)
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

void RunLane(LaneState& s, int count, double* left, double* right)
{
    // Positions only need checking against the ring's end when one of them
    // gets there during this stretch.
    if (SamplesBeforeWrap(s) >= count)
    {
        RunOneLane<false>(s, count, left, right);
        WrapAtRingEnd(s);
    }
    else
    {
        RunOneLane<true>(s, count, left, right);
    }
}

void ClearUnusedSlots(LaneGroup& g)
{
    for (int j = g.laneCount; j < LaneGroup::kSlots; ++j)
    {
        auto clear = [j](Slots& row) { row.lane[j] = 0.0; };
        ForEachField(clear, g.heads);
        ForEachField(clear, g.filters);
        for (Slots* row : {&g.glideA, &g.glideB, &g.glide, &g.target, &g.delayOld, &g.delayNew})
            clear(*row);
    }
}

void GatherGroup(LaneGroup& g)
{
    ClearUnusedSlots(g);
    for (int j = 0; j < g.laneCount; ++j)
    {
        auto gather = [j](Slots& row, const double& v) { row.lane[j] = v; };
        ForEachField(gather, g.heads, g.lanes[j]->heads);
        ForEachField(gather, g.filters, g.lanes[j]->filters);
    }
}

void ScatterGroup(const LaneGroup& g)
{
    for (int j = 0; j < g.laneCount; ++j)
    {
        auto scatter = [j](const Slots& row, double& v) { v = row.lane[j]; };
        ForEachField(scatter, g.heads, g.lanes[j]->heads);
        ForEachField(scatter, g.filters, g.lanes[j]->filters);
    }
}

bool RunsAcrossStep(const LaneGroup& g, int stepAt, int count)
{
    return count <= kLongestStretch && g.separable && count < g.untilWrap && g.pendingAcross &&
           count - stepAt < g.pendingUntilWrap;
}
