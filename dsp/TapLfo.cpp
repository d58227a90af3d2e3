#include "dsp/TapLfo.h"

bool TapLfo::Replace(int kind)
{
    if (kind == Kind()) return false;
    // Keep the settings in an oscillator of the same class while the slot is
    // rebuilt; the copy rule then applies to the new one.
    struct Saved
    {
        float sampleRate, rate, rateScale, effectiveDepth, depthScale;
        int flag, spare;
    };
    const Lfo& old = Get();
    const Saved s{old.sampleRate, old.rate, old.rateScale, old.effectiveDepth,
                  old.depthScale, old.flag, old.spare};
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
    Lfo& l = Get();
    l.sampleRate = s.sampleRate;
    l.SetRate(s.rate);
    l.SetRateScale(s.rateScale);
    l.depth = s.effectiveDepth;
    l.SetDepthScale(s.depthScale);
    l.flag = s.flag;
    l.spare = s.spare;
    return true;
}
