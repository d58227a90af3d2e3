#pragma once

// Host tempo shared by all delay lines. The beat is always a quarter note:
// the time signature enters the formula but cancels out.
struct TempoInfo
{
    // Stores a new tempo and signature and recomputes the samples per beat.
    // Returns false, changing nothing, when all three equal the stored ones.
    // A tempo that is not a positive finite number counts as 120 and a
    // numerator or denominator below 1 as 4.
    bool UpdateTempo(int numerator, int denominator, double bpm);
    // Stores the rate (rounded to single precision) and recomputes the samples per beat.
    void SetSampleRate(double rate);
    // Length in milliseconds of a note of the given number of beats.
    double NoteMs(double beats) const { return beats * samplesPerBeat / sampleRate * 1000.0; }

    double tempo = 120.0;
    int numerator = 4;
    int denominator = 4;
    double sampleRate = 44100.0;
    double samplesPerBeat = 22100.0;

private:
    void Recompute();
};
