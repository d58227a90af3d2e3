#pragma once

#include "dsp/DelayBuffer.h"
#include "dsp/LaneOps.h"

#include <cfloat>

// A read head's first-order allpass interpolator over one sample type: its
// coefficient and its previous input and output.
template <class T> struct Allpass
{
    T coefficient, input, output;

    // One sample s under the head in, the interpolated sample out.
    [[gnu::always_inline]] T Run(T s)
    {
        const T y = (s - output) * coefficient + input;
        input = s;
        output = y;
        return y;
    }
    template <class F, class... R> static void Each(F&& f, R&&... r)
    {
        f(r.coefficient...), f(r.input...), f(r.output...);
    }
};

// Where a head d samples behind write slot w of a ring of length slots reads,
// for any lane type V (slots as whole numbers in V): the distance it keeps,
// its allpass coefficient and the slot of its next read. A distance that is
// not a finite number or is below 1 counts as 1; one beyond the ring is
// limited to length - 1; the fraction is kept within [0.418, 1.418).
// Selections instead of branches: the fraction falls either way at random.
template <class V> struct HeadPlacement
{
    V delay, coefficient, slot;
};
template <class V> [[gnu::always_inline]] inline V AllpassCoefficientOf(V f)
{
    const V g = f - V(0.5);
    return V(1.0 / 3.0) - V(8.0 / 9.0) * g + V(16.0 / 27.0) * g * g - V(32.0 / 81.0) * g * g * g +
           V(64.0 / 243.0) * g * g * g * g;
}
template <class V> [[gnu::always_inline]] inline HeadPlacement<V> PlaceHead(V d, V w, V length)
{
    const V one(1.0), zero(0.0);
    d = Select(d > one, Select(d <= V(DBL_MAX), d, one), one);
    d = Min(length - one, d);
    // Adding 0 leaves a value unchanged (p and f are never -0), so the masked
    // additions give the same bits as conditional ones.
    V p = w - d + one;
    p = p + Select(zero > p, length, zero);
    V n = Trunc(p);
    // The fraction is taken before wrapping, so that a position rounding
    // onto the ring's length cannot give a wild coefficient.
    V f = n + one - p;
    n = Select(length <= n, n - length, n);
    const auto early = V(0.418) > f;
    f = f + Select(early, one, zero);
    n = n + Select(early, one, zero);
    n = Select(length <= n, zero, n);
    return {d, AllpassCoefficientOf(f), n};
}

// Reads a delay buffer at a fractional distance behind the write position
// through a first-order allpass interpolator.
class ReadHead
{
public:
    ReadHead() : cursor(DelayBuffer::SilentCursor()) {}

    // Takes a buffer (or none: the head then reads silence) and forgets the
    // allpass state. The position is set separately with SetDistance.
    void Attach(DelayBuffer* buf);
    // Places the head d samples behind write index w. A distance that is not
    // a finite number or is below 1 counts as 1; one beyond the buffer is
    // limited to length - 1. The fraction is kept within [0.418, 1.418).
    void SetDistance(double d, int writeIndex);
    // SetDistance put off until the head is next needed: a head that nothing
    // reads moves at every control step for the price of a few stores.
    // Settle then places it exactly where SetDistance would have, since only
    // Attach changes the buffer, and it places the head afresh.
    void Defer(double d, int writeIndex)
    {
        deferred = true;
        deferredDistance = d;
        deferredWrite = writeIndex;
    }
    void Settle()
    {
        if (deferred) SetDistance(deferredDistance, deferredWrite);
    }
    // The distance the head keeps, settled or not.
    double Distance() const;
    // Where a head d samples behind write index w of a ring of length slots
    // (length > 0) reads, by the rules of SetDistance: the distance it
    // keeps, its allpass coefficient and the slot of its next read.
    struct Placement
    {
        double delay;
        double coefficient;
        int slot;
    };
    static Placement Locate(double d, int writeIndex, int length);
    // Allpass coefficient for a fractional delay f (fourth-order expansion of
    // (1 - f) / (1 + f) around f = 0.5), evaluated left to right.
    static double AllpassCoefficient(double f) { return AllpassCoefficientOf(f); }

    // One sample: reads the slot, advances, runs the allpass.
    double Read()
    {
        const double s = *cursor.slot;
        cursor.Advance();
        return allpass.Run(s);
    }
    void ClearState()
    {
        allpass.input = 0.0;
        allpass.output = 0.0;
    }
    // Index of the slot the next Read takes (for inspection).
    int SlotIndex() const;

    double delay = 0.0;
    DelayBuffer::Cursor cursor;
    Allpass<double> allpass{1.0 / 3.0, 0.0, 0.0};
    DelayBuffer* buffer = nullptr;
    // A placement put off by Defer: delay, the allpass coefficient and
    // cursor are out of date until Settle.
    bool deferred = false;
    double deferredDistance = 0.0;
    int deferredWrite = 0;
};
