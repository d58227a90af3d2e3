#pragma once

#include <array>
#include <functional>
#include <string>

namespace zelbor::render
{

// The part of one letter's settings that decides how long its echoes last.
struct LineSettings
{
    int inputPort = 0;     // 0: the line hears no input port
    int sourceTap = 8;     // tap whose output feeds the line; 8: none
    bool mains = false;    // the line's tap is heard on the outputs
    double delayMs = 0.0;  // effective delay: after mode, tempo, scale and buffer limit
    double lfoMs = 0.0;    // largest LFO excursion added to the delay
    double feedback = 0.0; // linear gain from the tap's output back into the line
    double tapGain = 1.0;  // linear gain of the tap
};

struct EngineSettings
{
    std::array<LineSettings, 8> lines{};
    double wet = 1.0;
};

// Reads the engine settings from parameter values by name (plain values,
// as the effect holds them), for a host tempo and sample rate.
EngineSettings SettingsFromParams(const std::function<double(const std::string&)>& value,
                                  double tempo, double sampleRate);

// Seconds after the input ends until every echo path has decayed below the
// threshold (relative to full scale), capped. A path whose loop gain is 1 or
// more never decays and gets the cap.
double EstimateTailSeconds(const EngineSettings& settings, double thresholdDb = -90.0,
                           double capSeconds = 30.0);

// The longest delay (with LFO excursion) of any line that is heard, in
// seconds; 0 when no line is heard.
double LongestHeardDelaySeconds(const EngineSettings& settings);

} // namespace zelbor::render
