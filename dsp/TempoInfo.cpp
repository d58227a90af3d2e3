#include "dsp/TempoInfo.h"

#include <cmath>

bool TempoInfo::UpdateTempo(int num, int den, double bpm)
{
    if (num < 1) num = 4;
    if (den < 1) den = 4;
    if (!(bpm > 0.0) || !std::isfinite(bpm)) bpm = 120.0;
    if (num == numerator && den == denominator && bpm == tempo) return false;
    numerator = num;
    denominator = den;
    tempo = bpm;
    Recompute();
    return true;
}

void TempoInfo::SetSampleRate(double rate)
{
    sampleRate = static_cast<float>(rate);
    Recompute();
}

void TempoInfo::Recompute()
{
    // Written out with the signature factors so that the result matches the
    // long form bit for bit; they cancel to sampleRate * 60 / tempo.
    samplesPerBeat = denominator *
                     (numerator * (sampleRate * 60.0 / tempo * 4.0) / denominator / numerator) *
                     0.25;
}
