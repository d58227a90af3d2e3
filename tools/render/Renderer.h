#pragma once

#include "tools/render/AudioBuffer.h"
#include "tools/render/EffectHost.h"
#include "tools/render/Progress.h"
#include "tools/render/WaveformPicture.h"

#include <vector>

namespace zelbor::render
{

// A pre-roll lasts at least this many host blocks.
constexpr int kPrerollMinBlocks = 150;

struct RenderSettings
{
    // Silence run through the effect first with the transport stopped, so
    // that its delay times have settled (they glide up from a single sample
    // after every sample-rate change) and its output level has faded in when
    // the music starts. Run in blocks of at most 512 frames, at least
    // kPrerollMinBlocks of them unless 0. Not written.
    double prerollSeconds = 3.0;
    double tailSeconds = 0.0; // rendered after the input
    // Cut the tail after its last sample above -90 dBFS (keeping 50 ms).
    bool trimTail = false;
    bool useDouble = false;
};

// Renders the input and then the tail through a prepared, resumed host.
// The output has the input's rate; the transport plays from position 0 at
// the input's first sample.
AudioBuffer RenderThroughEffect(EffectHost& host, const AudioBuffer& input,
                                const RenderSettings& settings, Progress* progress = nullptr);

// Renders a unit impulse (both channels) through a prepared, resumed host and
// returns the echoes of its response: local peaks of either channel within
// 30 dB of the strongest, at most maxEchoes, in time order. The dry impulse
// itself (the first samples) is not counted.
std::vector<EchoMark> MeasureEchoes(EffectHost& host, double seconds,
                                    const RenderSettings& settings, int maxEchoes = 32);

// Index one past the last sample of either channel above the threshold.
std::size_t EndOfSound(const AudioBuffer& audio, double thresholdDb);

// True when every sample is a finite number.
bool AllFinite(const AudioBuffer& audio);

} // namespace zelbor::render
