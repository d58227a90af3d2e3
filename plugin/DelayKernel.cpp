#include "plugin/DelayKernel.h"

#include "plugin/LanePair.h"

#include <cstddef>
#include <initializer_list>
#include <utility>

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

// A lane's four positions in its ring, held in locals for a stretch; all of
// them move on by one slot per sample.
struct Cursors
{
    double* base;
    double* end;
    double* write;
    double* inject;
    double* readOld;
    double* readNew;

    [[gnu::always_inline]] void Load(const LaneState& s)
    {
        base = s.base;
        end = s.end;
        write = s.write;
        inject = s.inject;
        readOld = s.readOld;
        readNew = s.readNew;
    }
    template <bool Wrap> [[gnu::always_inline]] void Advance()
    {
        StepOn<Wrap>(write, base, end);
        StepOn<Wrap>(inject, base, end);
        StepOn<Wrap>(readOld, base, end);
        StepOn<Wrap>(readNew, base, end);
    }
    [[gnu::always_inline]] void Store(LaneState& s) const
    {
        s.write = write;
        s.inject = inject;
        s.readOld = readOld;
        s.readNew = readNew;
    }
};

// Lane I's value stored at p.
template <int I, class V> [[gnu::always_inline]] inline void StoreLane(double* p, V v)
{
    if constexpr (kLanesOf<V> == 1)
        *p = v;
    else
        v.template StoreLane<I>(p);
}

// The W lanes' records side by side in registers of type V (lane i of
// each register is lanes[i]'s), and back.
template <class V> struct Packed
{
    static constexpr int W = kLanesOf<V>;
    TapHeads<V> heads;
    TapFilters<V> filters;
    OutputStage<V> output;
    V feedback;

    template <class R, std::size_t... I>
    [[gnu::always_inline]] static void In(R& r, LaneState* const* s, auto field,
                                          std::index_sequence<I...>)
    {
        ForEachField([](V& v, const auto&... x) { v = V(x...); }, r, (s[I]->*field)...);
    }
    template <class R, std::size_t... I>
    [[gnu::always_inline]] static void Out(const R& r, LaneState* const* s, auto record, auto field,
                                           std::index_sequence<I...>)
    {
        ForEachField([](const V& v, auto&... x) { (StoreLane<I>(&x, v), ...); }, r,
                     ((s[I]->*record).*field)...);
    }
    template <class R, std::size_t... I>
    [[gnu::always_inline]] static void Out(const R& r, LaneState* const* s, auto field,
                                           std::index_sequence<I...>)
    {
        ForEachField([](const V& v, auto&... x) { (StoreLane<I>(&x, v), ...); }, r,
                     (s[I]->*field)...);
    }
    template <std::size_t... I>
    [[gnu::always_inline]] static V FeedbackIn(LaneState* const* s, std::index_sequence<I...>)
    {
        return V(s[I]->feedbackSample...);
    }
    [[gnu::always_inline]] explicit Packed(LaneState* const* s)
    {
        constexpr auto lanes = std::make_index_sequence<W>{};
        In(heads, s, &LaneState::heads, lanes);
        In(filters, s, &LaneState::filters, lanes);
        In(output, s, &LaneState::output, lanes);
        feedback = FeedbackIn(s, lanes);
    }
    [[gnu::always_inline]] void Store(LaneState* const* s) const
    {
        constexpr auto lanes = std::make_index_sequence<W>{};
        // The filters' coefficients stay as they were.
        Out(heads, s, &LaneState::heads, lanes);
        Out(filters.highState, s, &LaneState::filters, &TapFilters<double>::highState, lanes);
        Out(filters.lowState, s, &LaneState::filters, &TapFilters<double>::lowState, lanes);
        ForLanes<W>([&](auto i) { s[i]->feedbackSample = LaneOf<i>(feedback); });
    }
};

// The lanes' signals and positions in the ring, in locals for a stretch.
template <int W> struct Pointers
{
    const double* port[W];
    const double* source[W];
    double* out[W];
    double* write[W];
    double* inject[W];
    const double* readOld[W];
    const double* readNew[W];

    [[gnu::always_inline]] explicit Pointers(LaneState* const* s)
    {
        ForLanes<W>(
            [&](auto i)
            {
                port[i] = s[i]->port;
                source[i] = s[i]->source;
                out[i] = s[i]->out;
                write[i] = s[i]->write;
                inject[i] = s[i]->inject;
                readOld[i] = s[i]->readOld;
                readNew[i] = s[i]->readNew;
            });
    }
    // Sample n of each lane's signal p.
    template <class V> [[gnu::always_inline]] static V At(const double* const* p, int n)
    {
        const double* at[W];
        ForLanes<W>([&](auto i) { at[i] = p[i] + n; });
        return GatherLanes<V>(at);
    }
};

// One sample's line writes, tap outputs and main-output shares of the lanes,
// lane after lane: last sample's feedback at the write slots, then the inputs
// added at the injection slots (a slot may be both).
template <class V, int W>
[[gnu::always_inline]] inline void WriteLines(double* const* write, double* const* inject,
                                              V feedback, V x)
{
    ForLanes<W>(
        [&](auto i)
        {
            StoreLane<i>(write[i], feedback);
            *inject[i] += LaneOf<i>(x);
        });
}
template <class V, int W>
[[gnu::always_inline]] inline void Outputs(double* const* out, int n, const OutputStage<V>& stage,
                                           const typename OutputStage<V>::Result& r, double* left,
                                           double* right)
{
    const V shareL = stage.toLeft * r.mains;
    const V shareR = stage.toRight * r.mains;
    ForLanes<W>([&](auto i) { StoreLane<i>(out[i] + n, r.out); });
    ForLanes<W>([&](auto i) { left[n] += LaneOf<i>(shareL); });
    ForLanes<W>([&](auto i) { right[n] += LaneOf<i>(shareR); });
}

// W lanes side by side (W = 1 for one lane alone), sample after sample.
template <class V, bool Wrap>
[[gnu::flatten]] void RunLanesT(LaneState* const* s, int count, double* left, double* right)
{
    constexpr int W = kLanesOf<V>;
    using P = Pointers<W>;
    const P at(s);
    Cursors c[W];
    ForLanes<W>([&](auto i) { c[i].Load(*s[i]); });
    Packed<V> p(s);
    for (int n = 0; n < count; ++n)
    {
        const V x = LineInput(P::template At<V>(at.port, n), P::template At<V>(at.source, n));
        double* write[W];
        double* inject[W];
        const double* readOld[W];
        const double* readNew[W];
        ForLanes<W>(
            [&](auto i)
            {
                write[i] = c[i].write;
                inject[i] = c[i].inject;
                readOld[i] = c[i].readOld;
                readNew[i] = c[i].readNew;
            });
        // The line writes come first: a read may take a slot just written.
        WriteLines<V, W>(write, inject, p.feedback, x);
        const V y = p.heads.Read(GatherLanes<V>(readOld), GatherLanes<V>(readNew));
        ForLanes<W>([&](auto i) { c[i].template Advance<Wrap>(); });
        const auto r = p.output.Run(x, p.filters.Run(y));
        Outputs<V, W>(at.out, n, p.output, r, left, right);
        p.feedback = r.feedback;
    }
    ForLanes<W>([&](auto i) { c[i].Store(*s[i]); });
    p.Store(s);
}

// The same work as RunLanesT<V, false> in three passes over the stretch: read
// heads, the two filters, then the line writes and the output stage. Each
// pass holds only short recurrences, so the processor overlaps far more of
// consecutive samples than in one long chain per sample. Moving every read
// ahead of every write is exact only when no slot is both read and written
// during the stretch, which the caller checks.
template <class V>
[[gnu::flatten]] void RunLanesSplit(LaneState* const* s, int count, double* left, double* right)
{
    constexpr int W = kLanesOf<V>;
    using P = Pointers<W>;
    const P at(s);
    V ys[kLongestStretch];
    Packed<V> p(s);
    for (int n = 0; n < count; ++n)
    {
        ys[n] = p.heads.Read(P::template At<V>(at.readOld, n), P::template At<V>(at.readNew, n));
    }
    // Both biquads over the stretch; the lanes' recurrences overlap.
    for (int n = 0; n < count; ++n)
    {
        ys[n] = p.filters.Run(ys[n]);
    }
    for (int n = 0; n < count; ++n)
    {
        const V x = LineInput(P::template At<V>(at.port, n), P::template At<V>(at.source, n));
        double* write[W];
        double* inject[W];
        ForLanes<W>(
            [&](auto i)
            {
                write[i] = at.write[i] + n;
                inject[i] = at.inject[i] + n;
            });
        WriteLines<V, W>(write, inject, p.feedback, x);
        const auto r = p.output.Run(x, ys[n]);
        Outputs<V, W>(at.out, n, p.output, r, left, right);
        p.feedback = r.feedback;
    }
    p.Store(s);
    ForLanes<W>(
        [&](auto i)
        {
            for (double** q : {&s[i]->write, &s[i]->inject, &s[i]->readOld, &s[i]->readNew})
                *q += count;
        });
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
    LaneState* const lanes[1] = {&s};
    // Positions only need checking against the ring's end when one of them
    // gets there during this stretch.
    if (SamplesBeforeWrap(s) >= count)
    {
        RunLanesT<double, false>(lanes, count, left, right);
        WrapAtRingEnd(s);
    }
    else
    {
        RunLanesT<double, true>(lanes, count, left, right);
    }
}

void RunLanePair(LaneState& a, LaneState& b, int count, double* left, double* right)
{
    LaneState* const lanes[2] = {&a, &b};
    if (SamplesBeforeWrap(a) >= count && SamplesBeforeWrap(b) >= count)
    {
        if (ReadsClearOfWrites(a, count) && ReadsClearOfWrites(b, count))
        {
            RunLanesSplit<LanePair>(lanes, count, left, right);
        }
        else
        {
            RunLanesT<LanePair, false>(lanes, count, left, right);
        }
        WrapAtRingEnd(a);
        WrapAtRingEnd(b);
    }
    else
    {
        RunLanesT<LanePair, true>(lanes, count, left, right);
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
