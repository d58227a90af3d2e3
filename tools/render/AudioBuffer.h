#pragma once

#include <cstddef>
#include <vector>

namespace zelbor::render
{

// A stereo stretch of 32-bit audio at one sample rate. Mono sources are held
// with the same samples in both channels.
struct AudioBuffer
{
    double sampleRate = 44100.0;
    std::vector<float> left;
    std::vector<float> right;

    std::size_t Frames() const { return left.size(); }
    double Seconds() const { return sampleRate > 0.0 ? double(Frames()) / sampleRate : 0.0; }
    void Resize(std::size_t frames)
    {
        left.resize(frames, 0.0f);
        right.resize(frames, 0.0f);
    }
};

} // namespace zelbor::render
