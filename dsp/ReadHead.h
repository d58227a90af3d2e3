#pragma once

#include "dsp/DelayBuffer.h"

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
    // (1 - f) / (1 + f) around f = 0.5). The terms are evaluated exactly as
    // written, left to right, so every caller gets the same bits.
    static double AllpassCoefficient(double f)
    {
        const double g = f - 0.5;
        return 1.0 / 3.0 - (8.0 / 9.0) * g + (16.0 / 27.0) * g * g - (32.0 / 81.0) * g * g * g +
               (64.0 / 243.0) * g * g * g * g;
    }

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
};
