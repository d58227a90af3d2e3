#pragma once

// One-pole low-pass used to glide a value towards a target: z = a z + b x.
class OnePoleSmoother
{
public:
    OnePoleSmoother() = default;
    explicit OnePoleSmoother(double coefficient) : a(coefficient), b(1.0 - coefficient) {}

    // One step towards the target; returns the new state.
    double Step(double target)
    {
        z = a * z + b * target;
        return z;
    }
    // Starts again from 0 with the complement re-derived from the coefficient.
    void Restart()
    {
        b = 1.0 - a;
        z = 0.0;
    }
    void SetCoefficient(double coefficient)
    {
        a = coefficient;
        b = 1.0 - coefficient;
    }
    double Value() const { return z; }

    double a = 0.997;
    double b = 0.003;
    double z = 0.0;
};
