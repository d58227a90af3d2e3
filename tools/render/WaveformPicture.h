#pragma once

#include "tools/render/AudioBuffer.h"
#include "tools/render/Canvas.h"

#include <string>
#include <vector>

namespace zelbor::render
{

// One echo of the setting: its delay after the sound that caused it and its
// level relative to that sound.
struct EchoMark
{
    double seconds = 0.0;
    double levelDb = 0.0;
};

struct PictureContent
{
    std::string title;
    std::string subtitle;
    const AudioBuffer* dry = nullptr;
    const AudioBuffer* wet = nullptr; // may be null: the dry signal alone
    double onsetSeconds = 0.0;        // the echo marks count from here
    std::vector<EchoMark> echoes;
};

// Both channels on a decibel scale (48 dB from the centre line to the lane
// edge), the wet signal in blue under the dry one in grey, so that what the
// effect adds stands out; the echo times of the setting as dashed lines from
// the first onset, labelled in milliseconds.
Canvas DrawWaveform(const PictureContent& content, int width = 1200, int height = 520);

// Time of the first sample whose level comes within 20 dB of the peak.
double FirstOnsetSeconds(const AudioBuffer& audio);

} // namespace zelbor::render
