#include "tools/render/TailEstimate.h"

#include "plugin/DelayParams.h"

#include <algorithm>
#include <cmath>

namespace zelbor::render
{
namespace
{

constexpr int kLines = 8;
constexpr double kInfinite = 1e9;

const char kLetters[] = "ABCDEFGH";

std::string Name(const char* family, int line)
{
    return std::string(family) + "_" + kLetters[line];
}

double DbToGain(double db)
{
    return std::exp(db * 0.1151292546497);
}

class Paths
{
public:
    explicit Paths(const EngineSettings& s) : mS(s) {}

    bool Fed(int line, int depth = 0) const
    {
        if (depth > kLines)
        {
            return false; // a loop the effect refuses to build
        }
        const LineSettings& l = mS.lines[line];
        if (l.inputPort != 0)
        {
            return true;
        }
        return ValidSource(l) && Fed(l.sourceTap, depth + 1);
    }

    bool Heard(int line, int depth = 0) const
    {
        if (depth > kLines)
        {
            return false;
        }
        if (mS.lines[line].mains)
        {
            return true;
        }
        for (int r = 0; r < kLines; ++r)
        {
            if (r != line && mS.lines[r].sourceTap == line && Heard(r, depth + 1))
            {
                return true;
            }
        }
        return false;
    }

    // Time from the end of the line's input until its own echoes have died.
    double Decay(int line, double threshold) const
    {
        const LineSettings& l = mS.lines[line];
        const double period = std::max(0.0, (l.delayMs + l.lfoMs) * 0.001);
        const double loop = std::fabs(l.feedback * l.tapGain);
        if (loop >= 1.0)
        {
            return kInfinite;
        }
        double repeats = 0.0; // echoes after the first that are still above the threshold
        if (loop > 0.0 && l.tapGain > threshold)
        {
            repeats = std::floor(std::log(threshold / l.tapGain) / std::log(loop));
        }
        return period * (1.0 + std::max(0.0, repeats));
    }

    // Until the line's last echo: its sources' tails plus its own decay.
    double Tail(int line, double threshold, int depth = 0) const
    {
        if (depth > kLines)
        {
            return kInfinite;
        }
        const LineSettings& l = mS.lines[line];
        double upstream = 0.0;
        if (ValidSource(l) && Fed(l.sourceTap))
        {
            upstream = Tail(l.sourceTap, threshold, depth + 1);
        }
        return upstream + Decay(line, threshold);
    }

private:
    static bool ValidSource(const LineSettings& l)
    {
        return l.sourceTap >= 0 && l.sourceTap < kLines;
    }
    const EngineSettings& mS;
};

} // namespace

EngineSettings SettingsFromParams(const std::function<double(const std::string&)>& value,
                                  double tempo, double sampleRate)
{
    EngineSettings s;
    s.wet = value("Wet");
    const double fbScale = value("FbScale") * value("Scl_Fbk");
    double timeScale = value("Scl_Dly");
    if (!(timeScale > 0.0))
    {
        timeScale = 0.01;
    }
    const double depthScale = value("Scl_Dpth");
    // The line buffers hold two seconds, rounded up to whole 8192-sample blocks.
    const double blocks = std::ceil(std::trunc(2.0 * sampleRate) / 8192.0);
    const double bufferMs = blocks * 8192.0 / (sampleRate * 0.001);
    const double beatMs = 60000.0 / (tempo > 0.0 ? tempo : 120.0);
    for (int t = 0; t < kLines; ++t)
    {
        LineSettings& l = s.lines[t];
        l.inputPort = int(value(Name("In", t)));
        l.sourceTap = int(value(Name("Rx", t)));
        l.mains = value(Name("Mains", t)) > 0.5;
        double ms = value(Name("Time", t));
        if (int(value(Name("Mode", t))) == 0)
        {
            const int note = std::clamp(int(value(Name("Bpm", t))), 0, kNumNoteValues - 1);
            ms = kNoteBeats[note] * beatMs;
        }
        ms *= timeScale;
        if (ms > bufferMs)
        {
            ms = bufferMs - 20.0;
        }
        else if (ms < 0.5)
        {
            ms = 0.5;
        }
        l.delayMs = ms;
        l.lfoMs = std::fabs(value(Name("Depth", t)) * depthScale);
        l.feedback = DbToGain(value(Name("Fb", t))) * fbScale;
        l.tapGain = DbToGain(value(Name("Gain", t)));
    }
    return s;
}

double EstimateTailSeconds(const EngineSettings& settings, double thresholdDb, double capSeconds)
{
    if (!(settings.wet > 0.0))
    {
        return 0.0;
    }
    const double threshold = std::pow(10.0, thresholdDb / 20.0);
    const Paths paths(settings);
    double tail = 0.0;
    for (int line = 0; line < kLines; ++line)
    {
        if (paths.Fed(line) && paths.Heard(line))
        {
            tail = std::max(tail, paths.Tail(line, threshold));
        }
    }
    // A little room for the filters' and the interpolators' own ringing.
    if (tail > 0.0)
    {
        tail += 0.05;
    }
    return std::min(tail, capSeconds);
}

double LongestHeardDelaySeconds(const EngineSettings& settings)
{
    const Paths paths(settings);
    double longest = 0.0;
    for (int line = 0; line < kLines; ++line)
    {
        if (paths.Fed(line) && paths.Heard(line))
        {
            const LineSettings& l = settings.lines[line];
            longest = std::max(longest, (l.delayMs + l.lfoMs) * 0.001);
        }
    }
    return longest;
}

} // namespace zelbor::render
