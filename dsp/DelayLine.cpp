#include "dsp/DelayLine.h"

#include "dsp/DelayTap.h"

#include <cmath>

DelayLine::DelayLine()
{
    AllocateBuffer();
}

void DelayLine::SetSampleRate(double rate)
{
    sampleRate = rate;
    samplesPerMs = rate * 0.001;
    AllocateBuffer();
}

void DelayLine::AllocateBuffer()
{
    const double want = bufferSeconds * sampleRate;
    int requested = 1;
    if (want >= DelayBuffer::kMaxSamples)
        requested = DelayBuffer::kMaxSamples;
    else if (want >= 1.0)
        requested = static_cast<int>(want);
    buffer.Allocate(requested);
    writeCursor = buffer.CursorAt(0);
    injectCursor = writeCursor;
    writeIndex = 0;
    for (int i = 0; i < tapCount; ++i)
    {
        AttachTap(nullptr, *taps[static_cast<size_t>(i)]);
        AttachTap(this, *taps[static_cast<size_t>(i)]);
    }
    PlaceInjection();
    UpdateTapTargets();
    ApplyLineTime();
}

void DelayLine::ApplyLineTime()
{
    // An unknown mode keeps the effective time as it is (it is not scaled again).
    double t = effectiveTimeMs;
    if (mode == ModeTempo)
        t = noteTimeMs * timeScale;
    else if (mode == ModeMs)
        t = timeMs * timeScale;
    const double maximum = buffer.lengthD / samplesPerMs;
    if (t > maximum)
        t = maximum - 20.0;
    else if (!(t >= 0.5))
        t = 0.5;
    effectiveTimeMs = t;
    delaySamples = samplesPerMs * t;
    PlaceInjection();
    UpdateTapTargets();
}

void DelayLine::PlaceInjection()
{
    const int len = buffer.length;
    double back = (1.0 - injectionFraction) * delaySamples;
    if (!(back >= 0.0)) back = 0.0;
    if (back > len - 1.0) back = len - 1.0;
    int k = writeIndex - static_cast<int>(back);
    while (k < 0)
        k += len;
    injectCursor = buffer.CursorAt(k);
}

void DelayLine::UpdateTapTargets()
{
    double target = delaySamples / buffer.lengthD;
    if (!std::isfinite(target)) target = 0.0;
    for (int i = 0; i < tapCount; ++i)
        taps[static_cast<size_t>(i)]->heads.target = target;
}

void DelayLine::SetInjectionFraction(double fraction)
{
    injectionFraction = fraction > 0.0 && fraction < 1.0 ? fraction : 1.0;
    PlaceInjection();
}

void DelayLine::AddTap(DelayTap* tap)
{
    if (tap == nullptr) return;
    for (int i = 0; i < tapCount; ++i)
        if (taps[static_cast<size_t>(i)] == tap) return;
    if (tapCount < kMaxTaps) taps[static_cast<size_t>(tapCount++)] = tap;
}

void DelayLine::Clear()
{
    buffer.Clear();
}

void DelayLine::Restart()
{
    buffer.Clear();
    writeCursor = buffer.CursorAt(0);
    writeIndex = 0;
    PlaceInjection();
}
