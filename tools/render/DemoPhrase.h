#pragma once

#include "tools/render/AudioBuffer.h"

namespace zelbor::render
{

// Synthesises the built-in demo phrase: four bars of 4/4 with plucked-string
// notes (Karplus-Strong), a kick, a snare and hi-hats, spread across the
// stereo field. The last bar holds a single note so the echoes can be heard
// (and seen) on their own. The result depends only on the rate and tempo.
AudioBuffer SynthesiseDemoPhrase(double sampleRate, double tempo);

// Deterministic white noise, for benchmarks and tests.
AudioBuffer MakeNoise(double sampleRate, double seconds, float amplitude, unsigned seed);

} // namespace zelbor::render
