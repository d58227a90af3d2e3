#pragma once

#include "dsp/LaneOps.h"
#include "dsp/OnePoleSmoother.h"
#include "dsp/ReadHead.h"

#include <cfloat>

class DelayLine;

// One control step of the distance glide, z = a z + b target (as a fraction
// of the ring), for any lane type; a state that is no longer a finite number
// starts again from 0.
template <class V> [[gnu::always_inline]] inline V GlideDistance(V a, V b, V z, V target)
{
    z = a * z + b * target;
    return Select(Abs(z) <= V(DBL_MAX), z, V(0.0));
}

// Two read heads that crossfade whenever the read distance moves: at every
// control step the new position goes to the idle head, which plays silently
// for 8 samples while its allpass settles and then takes over over 24 samples.
class HeadPair
{
public:
    static constexpr double kFadeStart = -1.0 / 3.0;
    static constexpr double kFadeStep = 1.0 / 24.0;

    HeadPair() = default;
    HeadPair(const HeadPair&) = delete;
    HeadPair& operator=(const HeadPair&) = delete;

    // Both heads read the line's buffer (or silence without a line), lose
    // their allpass state and sit length - 1 samples behind the write index.
    void Attach(DelayLine* l);
    // Control step: smooth the distance towards the target, add the
    // modulation offset (samples), swap heads and place the new current one.
    void Step(double offsetSamples);
    // Step for a caller that keeps the heads' read positions itself while it
    // runs them (the line's buffer, a non-empty one, is attached): the same
    // distance, swap, coefficient and crossfade, with w as the write index;
    // the new current head's cursor stays where it was. Returns where that
    // head now reads.
    ReadHead::Placement StepHeld(double offsetSamples, int writeIndex);
    // Step for heads that nothing reads until Settle: the same distance,
    // swap and crossfade, the new current head's placement put off
    // (ReadHead::Defer).
    void StepIdle(double offsetSamples);
    // Places both heads where the steps since the last placement put them.
    void Settle()
    {
        headA.Settle();
        headB.Settle();
    }
    // Places the current head at distance d without smoothing or swapping.
    void Place(double d);
    // As if the glide had long ended: the smoothed distance takes the
    // target, both heads lose their allpass state and sit at the target plus
    // the offset (samples), and the crossfade is complete.
    void Snap(double offsetSamples);

    // The crossfade over one sample, from the previous head's output to the
    // current one's; every path runs this.
    template <class T> [[gnu::always_inline]] static T Fade(T& fade, T yOld, T yNew)
    {
        fade = Min(fade + T(kFadeStep), T(1.0));
        return Select(fade > T(0.0), yOld * (T(1.0) - fade) + yNew * fade, yOld);
    }
    // One output sample; both heads advance.
    double Read()
    {
        const double yOld = previous->Read();
        const double yNew = current->Read();
        return Fade(crossfade, yOld, yNew);
    }
    void ClearState()
    {
        headA.ClearState();
        headB.ClearState();
    }
    // Distance in samples that the current head was last set to.
    double Distance() const { return current->Distance(); }

    DelayLine* line = nullptr;
    ReadHead headA;
    ReadHead headB;
    ReadHead* current = &headA;
    ReadHead* previous = &headB;
    double crossfade = kFadeStart;
    // Target distance as a fraction of the buffer length.
    double target = 0.0;
    OnePoleSmoother smoother{0.997};

private:
    // The common part of both steps: glides the distance, swaps the heads and
    // restarts the crossfade. Returns the new current head's distance.
    double Advance(double offsetSamples);
};
