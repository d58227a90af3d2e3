#pragma once

#include "dsp/Lfo.h"
#include "dsp/LfoRandom.h"
#include "dsp/LfoSine.h"
#include "dsp/LfoTriangle.h"

#include <variant>

// A tap's oscillator, held in place (no heap) as one of the three shape
// classes. Advancing dispatches on the stored class without a virtual call.
class TapLfo
{
public:
    TapLfo() = default;
    TapLfo(const TapLfo&) = delete;
    TapLfo& operator=(const TapLfo&) = delete;

    Lfo& Get()
    {
        return std::visit([](auto& l) -> Lfo& { return l; }, shape);
    }
    const Lfo& Get() const
    {
        return std::visit([](const auto& l) -> const Lfo& { return l; }, shape);
    }
    Lfo* operator->() { return &Get(); }
    const Lfo* operator->() const { return &Get(); }

    // Advances by a number of samples and returns the new value.
    float Advance(int samples)
    {
        return std::visit(
            [samples](auto& l)
            {
                l.Advance(samples);
                return l.value;
            },
            shape);
    }
    float Value() const { return Get().value; }
    // Puts a periodic shape back at its start phase; the random shape goes on.
    void Restart()
    {
        std::visit([](auto& l) { l.Restart(); }, shape);
    }
    int Kind() const { return Get().shapeKind; }
    // The oscillator when it is a sine, else null.
    LfoSine* Sine() { return std::get_if<LfoSine>(&shape); }

    // Installs a new oscillator of the given shape kind (0 sine, 1 triangle,
    // 2 ramp up, 3 ramp down, 4 random, anything else sine) with the current
    // settings, starting from its beginning. Returns false and keeps the
    // running oscillator when the kind is already the current one.
    bool Replace(int kind);

private:
    std::variant<LfoSine, LfoTriangle, LfoRandom> shape;
};
