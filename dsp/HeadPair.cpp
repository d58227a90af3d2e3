#include "dsp/HeadPair.h"

#include "dsp/DelayLine.h"

#include <cmath>

void HeadPair::Attach(DelayLine* l)
{
    line = l;
    DelayBuffer* buf = l != nullptr ? &l->buffer : nullptr;
    headA.Attach(buf);
    headB.Attach(buf);
    if (l != nullptr)
    {
        headA.SetDistance(l->buffer.length - 1.0, l->writeIndex);
        headB.SetDistance(l->buffer.length - 1.0, l->writeIndex);
    }
}

double HeadPair::Advance(double offsetSamples)
{
    // An undefined target does not leave the glide stuck.
    const double z = smoother.z = GlideDistance(smoother.a, smoother.b, smoother.z, target);
    const double length = line != nullptr ? line->buffer.lengthD : 0.0;
    double d = z * length + offsetSamples;
    if (!(d > 1.0)) d = 1.0;
    ReadHead* t = current;
    current = previous;
    previous = t;
    crossfade = kFadeStart;
    return d;
}

void HeadPair::Step(double offsetSamples)
{
    const double d = Advance(offsetSamples);
    current->SetDistance(d, line != nullptr ? line->writeIndex : 0);
}

void HeadPair::StepIdle(double offsetSamples)
{
    const double d = Advance(offsetSamples);
    current->Defer(d, line != nullptr ? line->writeIndex : 0);
}

ReadHead::Placement HeadPair::StepHeld(double offsetSamples, int writeIndex)
{
    const double d = Advance(offsetSamples);
    const ReadHead::Placement p = ReadHead::Locate(d, writeIndex, line->buffer.length);
    current->delay = p.delay;
    current->allpass.coefficient = p.coefficient;
    return p;
}

void HeadPair::Snap(double offsetSamples)
{
    smoother.z = std::isfinite(target) ? target : 0.0;
    const double length = line != nullptr ? line->buffer.lengthD : 0.0;
    double d = smoother.z * length + offsetSamples;
    if (!(d > 1.0)) d = 1.0;
    const int writeIndex = line != nullptr ? line->writeIndex : 0;
    current = &headA;
    previous = &headB;
    for (ReadHead* head : {&headA, &headB})
    {
        head->ClearState();
        head->SetDistance(d, writeIndex);
    }
    crossfade = 1.0;
}

void HeadPair::Place(double d)
{
    current->SetDistance(d, line != nullptr ? line->writeIndex : 0);
}
