#pragma once

#include "dsp/Biquad.h"
#include "dsp/DelayLine.h"
#include "dsp/HeadPair.h"
#include "dsp/TapIndex.h"
#include "dsp/TapLfo.h"

#include <array>

struct TempoInfo;

// The reader of one delay line: two crossfading read heads, LFO modulation of
// the read distance, and the tap's sound settings (filters, gain, pan, phase,
// operation state, main-output routing). Fields are plain for the effect's
// handlers, routing pass and editor.
class DelayTap
{
public:
    static constexpr int kMaxFedLines = 8;
    // Control step length in samples.
    static constexpr int kControlInterval = 32;
    enum Operation : int
    {
        Processed = 0,
        Bypassed = 1,
        Muted = 2
    };

    DelayTap();
    DelayTap(const DelayTap&) = delete;
    DelayTap& operator=(const DelayTap&) = delete;

    // One sample from the crossfading heads.
    double Read() { return heads.Read(); }
    // High-pass, then low-pass.
    double Filter(double y) { return lowPass.Run(highPass.Run(y)); }

    // Every 32 samples: advance the LFO by 32, smooth the distance and place
    // the heads at distance = smoothed x length + depthScale x depth x (2v - 1)
    // x samplesPerMs, at least 1 sample.
    void ControlStep(double depthScale, double samplesPerMs);
    // The two halves of ControlStep, for callers that step many taps: the
    // LFO's value for this step, then the heads moved by it.
    float AdvanceLfo() { return lfo.Advance(kControlInterval); }
    void MoveHeads(float lfoValue, double depthScale, double samplesPerMs)
    {
        heads.Step(ModulationOffset(lfoValue, depthScale, samplesPerMs));
    }
    // MoveHeads for a tap that nothing reads until its heads are settled
    // (HeadPair::StepIdle).
    void MoveIdleHeads(float lfoValue, double depthScale, double samplesPerMs)
    {
        heads.StepIdle(ModulationOffset(lfoValue, depthScale, samplesPerMs));
    }
    // MoveHeads for a caller that holds the read positions (HeadPair::StepHeld).
    ReadHead::Placement MoveHeadsHeld(float lfoValue, double depthScale, double samplesPerMs,
                                      int writeIndex)
    {
        return heads.StepHeld(ModulationOffset(lfoValue, depthScale, samplesPerMs), writeIndex);
    }
    // Starts the tap afresh on its line: filters and heads cleared, the LFO
    // back at its start phase, the heads straight at the target distance
    // with the LFO's offset (no glide). Call after the line's own Restart.
    void Restart(double depthScale, double samplesPerMs);
    // Per-tap part of a sample-rate change: LFO, distance smoother, filters.
    void SetSampleRate(double rate);
    // Zeroes both heads' allpass state and both filter states.
    void ClearState();

    // Replaces the oscillator when the kind differs (see TapLfo::Replace).
    bool SetLfoShape(int kind) { return lfo.Replace(kind); }
    void SetLfoRate(float hz) { lfo->SetRate(hz); }
    void SetLfoRateScale(float scale) { lfo->SetRateScale(scale); }
    Lfo& GetLfo() { return lfo.Get(); }
    void SetLowPassCutoff(double hz) { lowPass.SetCutoff(hz); }
    void SetHighPassCutoff(double hz) { highPass.SetCutoff(hz); }

    // Read-distance offset in samples for the LFO value v (0 .. 1). With the
    // input injected part of the way along the line, the swing towards the
    // write head stops a sample short of the injection point.
    double ModulationOffset(float v, double depthScale, double samplesPerMs) const
    {
        const double offset = depthScale * lfoDepth * (2.0 * v - 1.0) * samplesPerMs;
        // Between the injection point and the write head the input has not
        // arrived yet: a head swung in there would read silence.
        if (line != nullptr && line->injectionFraction < 1.0)
        {
            const double least = 1.0 - line->injectionFraction * line->delaySamples;
            if (offset < least) return least;
        }
        return offset;
    }

    bool Feeds(const DelayLine* l) const;
    void AddFedLine(DelayLine* l);
    void ClearFedLines() { fedCount = 0; }
    // active = mains or at least one fed line.
    void UpdateActive() { active = mains || fedCount > 0; }
    // Current read distance in samples (the current head's).
    double Distance() const { return heads.Distance(); }

    Biquad lowPass;
    Biquad highPass;
    int index = kNoTap;
    int operation = Processed;
    DelayLine* line = nullptr;
    HeadPair heads;
    std::array<DelayLine*, kMaxFedLines> fedLines{};
    int fedCount = 0;
    bool mains = false;
    bool active = false;
    double phaseSign = 1.0;
    TapLfo lfo;
    double lfoDepth = 0.0;
    double gain = 0.707;
    double pan = 0.5;
};

// Makes the tap read the line (or nothing). A tap cannot read a line that it
// feeds: it then gets no line. The heads restart at the far end of the
// buffer, the filter states are cleared and the active flag is re-derived.
void AttachTap(DelayLine* line, DelayTap& tap);

// Pairs line and tap under one letter: indices, the shared tempo record, the
// tap reading the line and listed among the line's taps.
void PairLineAndTap(DelayLine& line, DelayTap& tap, int index, TempoInfo& tempo);
