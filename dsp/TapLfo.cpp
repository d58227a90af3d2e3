#include "dsp/TapLfo.h"

bool TapLfo::Replace(int kind)
{
    if (kind == Kind()) return false;
    // The old oscillator goes when the slot is rebuilt; its settings are
    // kept aside for the new one.
    const Lfo::Settings carried = Get().CarriedSettings();
    switch (kind)
    {
    case Lfo::KindTriangle:
    case Lfo::KindRampUp:
    case Lfo::KindRampDown:
        shape.emplace<LfoTriangle>(kind);
        break;
    case Lfo::KindRandom:
        shape.emplace<LfoRandom>();
        break;
    default:
        shape.emplace<LfoSine>();
        break;
    }
    Get().TakeSettings(carried);
    return true;
}
