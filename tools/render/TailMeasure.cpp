#include "tools/render/TailMeasure.h"

#include "plugin/Delay.h"
#include "tools/render/EffectHost.h"

#include <algorithm>
#include <cmath>

namespace zelbor::render
{

double LongestEchoSeconds(EffectHost& host)
{
    const auto* delay = dynamic_cast<const Delay*>(&host.PluginVST());
    return delay != nullptr ? delay->LongestEchoPathMs() * 0.001 : 0.0;
}

TailWatch::TailWatch(double sampleRate, double quietSeconds, double capSeconds, double thresholdDb)
    : mThreshold(float(std::pow(10.0, thresholdDb / 20.0))),
      mQuietFrames(std::size_t(std::max(0.0, quietSeconds) * sampleRate)),
      mCapFrames(std::size_t(std::max(0.0, capSeconds) * sampleRate + 0.5))
{
}

void TailWatch::Feed(const float* left, const float* right, std::size_t frames)
{
    for (std::size_t i = 0; i < frames; ++i)
    {
        if (std::fabs(left[i]) > mThreshold || std::fabs(right[i]) > mThreshold)
        {
            mEndOfSound = mFrames + i + 1;
        }
    }
    mFrames += frames;
}

bool TailWatch::Ended() const
{
    return mFrames >= mCapFrames || mFrames - mEndOfSound > mQuietFrames;
}

} // namespace zelbor::render
