#pragma once

#include "tools/render/AudioBuffer.h"
#include "tools/render/EffectHost.h"
#include "tools/render/Progress.h"
#include "tools/render/WaveformPicture.h"

#include <vector>

namespace zelbor::render
{

// A pre-roll lasts at least this many host blocks: the effect's output
// level fades in once per block and has arrived by then.
constexpr int kPrerollMinBlocks = 150;

struct RenderSettings
{
    // Silence run through the effect first with the transport stopped, so
    // that its output level has faded in when the music starts (its delay
    // times start at their settings). Run in blocks of at most 512 frames,
    // at least kPrerollMinBlocks of them unless 0; negative: as many frames
    // as kPrerollMinBlocks blocks of 512. Not written.
    double prerollSeconds = -1.0;
    // Rendered after the input; with measureTail the most that is rendered.
    double tailSeconds = 0.0;
    // Render the tail until the output has stayed at or below -90 dBFS for
    // longer than the effect's longest echo path (LongestEchoSeconds), then
    // cut it 50 ms after its last louder sample.
    bool measureTail = false;
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
