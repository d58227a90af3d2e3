#pragma once

#include "dsp/DelayBuffer.h"
#include "dsp/TapIndex.h"

#include <array>

class DelayTap;
struct TempoInfo;

// One delay line: its sample memory, write and injection positions, time
// settings and feedback amount. The fields are plain so that the effect's
// handlers, routing pass and editor can read and set them; after changing a
// time field call ApplyLineTime, after the rate SetSampleRate.
class DelayLine
{
public:
    static constexpr int kMaxTaps = 8;
    enum Mode : int
    {
        ModeTempo = 0,
        ModeMs = 1
    };

    // Starts with a buffer for 44100 Hz so that writing is always safe.
    DelayLine();
    DelayLine(const DelayLine&) = delete;
    DelayLine& operator=(const DelayLine&) = delete;

    // Stores the rate and samples per millisecond, then AllocateBuffer.
    void SetSampleRate(double rate);
    // New zeroed buffer for buffer seconds x sample rate; write and injection
    // back to sample 0; every tap re-attached; injection, targets and time
    // re-applied.
    void AllocateBuffer();
    // Effective time from mode, time or note time and the time scale, limited
    // to the buffer (maximum - 20 ms) and to at least 0.5 ms; then the delay in
    // samples, the injection slot and the tap targets.
    void ApplyLineTime();
    // Injection slot = write index - trunc((1 - injection fraction) x delay).
    void PlaceInjection();
    // Every tap's target distance = delay in samples / buffer length.
    void UpdateTapTargets();
    // Fraction = value when 0 < value < 1, otherwise 1; then PlaceInjection.
    void SetInjectionFraction(double fraction);
    // Adds a reading tap unless it is listed already.
    void AddTap(DelayTap* tap);
    // Zeroes the sample memory; positions stay.
    void Clear();
    // Zeroes the sample memory and puts the write position back at sample 0
    // (the injection point follows), as after a fresh allocation.
    void Restart();
    // Longest time the buffer holds, in milliseconds.
    double MaxTimeMs() const { return buffer.lengthD / samplesPerMs; }
    int Length() const { return buffer.length; }

    // One sample: stores the feedback value f at the write slot and adds the
    // input x at the injection slot; both advance.
    void Write(double x, double f)
    {
        *writeCursor.slot = f;
        writeCursor.Advance();
        if (++writeIndex >= buffer.length) writeIndex = 0;
        *injectCursor.slot += x;
        injectCursor.Advance();
    }

    int index = kNoTap;
    int mode = ModeMs;
    int inputPort = 0;
    int sourceTap = kNoTap;
    DelayTap* sourceTapRef = nullptr;
    double sampleRate = 44100.0;
    double samplesPerMs = 44.1;
    double timeMs = 100.0;
    int noteIndex = 9;
    double noteTimeMs = 100.0;
    double effectiveTimeMs = 100.0;
    double delaySamples = 44.1;
    double timeScale = 1.0;
    double bufferSeconds = 2.0;
    double feedbackGain = 0.707;
    double injectionFraction = 1.0;
    DelayBuffer buffer;
    DelayBuffer::Cursor writeCursor;
    DelayBuffer::Cursor injectCursor;
    int writeIndex = 0;
    std::array<DelayTap*, kMaxTaps> taps{};
    int tapCount = 0;
    TempoInfo* tempo = nullptr;
};
