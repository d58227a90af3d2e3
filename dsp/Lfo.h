#pragma once

// Low-frequency oscillator stepped in blocks of samples; its value lies
// nominally between 0 and 1. The shapes derive from this class.
class Lfo
{
public:
    enum Kind : int
    {
        KindSine = 0,
        KindTriangle = 1,
        KindRampUp = 2,
        KindRampDown = 3,
        KindRandom = 4
    };

    virtual ~Lfo() = default;
    Lfo(const Lfo&) = delete;
    Lfo& operator=(const Lfo&) = delete;

    // Moves forward by a number of samples and recomputes the value.
    virtual void Advance(int samples) = 0;
    // Re-derives the increments after the period changed.
    virtual void RateChanged() = 0;
    // Re-derives the increments after the skew changed.
    virtual void ShapeChanged() = 0;

    // New sample rate with the effective rate kept; recomputes the period.
    void SetSampleRate(float rate);
    // Rate in Hz and the rate scale; both apply the period rule.
    void SetRate(float hz);
    void SetRateScale(float scale);
    // Depth and depth scale; the effective depth is their product limited to 0 .. 4.
    void SetDepth(float d);
    void SetDepthScale(float scale);
    // Effective rate = rate x scale (the sample rate when that is not above 0),
    // period = trunc(sample rate / effective rate), at least 1; then RateChanged.
    void ApplyPeriodRule();
    // What a replacement oscillator takes over from the one it replaces.
    struct Settings
    {
        float sampleRate, rate, rateScale, depth, depthScale;
        int flag, spare;
    };
    // The settings to carry over; the depth is the effective depth.
    Settings CarriedSettings() const;
    // Takes carried settings in this order: sample rate, rate (period rule),
    // rate scale (period rule), depth and depth scale (effective depth
    // re-derived), flag and spare. The position is not carried over.
    void TakeSettings(const Settings& s);
    void CopySettingsFrom(const Lfo& other) { TakeSettings(other.CarriedSettings()); }

    float Value() const { return value; }
    int ShapeKind() const { return shapeKind; }
    int Period() const { return period; }

    int shapeKind;
    float value = 0.0f;
    float sampleRate = 44100.0f;
    float rate = 0.0f;
    float depth = 1.0f;
    float rateScale = 1.0f;
    float depthScale = 1.0f;
    float effectiveRate = 0.0f;
    float skew = 0.5f;
    float effectiveDepth = 1.0f;
    int flag = 0;
    int spare = 0;
    int period = 1;

protected:
    explicit Lfo(int kind) : shapeKind(kind) {}
    // Period from the current sample rate and effective rate, without RateChanged.
    void ComputePeriod();
    void DeriveEffectiveDepth();

private:
    // Falls back to the sample rate when the effective rate is not above 0,
    // then recomputes the period and reports the change.
    void SettleRate();
};
