#pragma once

#include <cstddef>

namespace zelbor::render
{

class EffectHost;

// The longest a sound can travel through the effect's running lines before
// it next reaches the outputs, in seconds, as the effect itself reports it
// (0 when no line runs or the effect cannot say). A tail that stays below
// the threshold for longer than this has ended.
double LongestEchoSeconds(EffectHost& host);

// Follows the output of a tail as it is rendered and tells when it has
// ended: every sample of both channels at or below the threshold for longer
// than the quiet time, or the cap reached.
class TailWatch
{
public:
    TailWatch(double sampleRate, double quietSeconds, double capSeconds,
              double thresholdDb = -90.0);

    // The next frames of the tail.
    void Feed(const float* left, const float* right, std::size_t frames);
    bool Ended() const;
    // Frames fed so far, and one past the last loud frame among them (0 when
    // none was loud).
    std::size_t Frames() const { return mFrames; }
    std::size_t EndOfSound() const { return mEndOfSound; }

private:
    float mThreshold;
    std::size_t mQuietFrames;
    std::size_t mCapFrames;
    std::size_t mFrames = 0;
    std::size_t mEndOfSound = 0;
};

} // namespace zelbor::render
